#!/usr/bin/env bash
# The capture and endpoint tests of the integration test program, against a sound server of this test's
# own made like the test environment's (a null sink ci_sink as the default source, a pipe source ci_mic):
# the same tests on PipeWire as on the environment's PulseAudio.
#   capture-on-server-test.sh TEST_PROGRAM pulseaudio|pipewire
source "$(dirname "$0")/../e2e/lib.sh"
program=$(realpath "$1")
export QUIETMON_SOUND_SERVER=$2

export QUIETMON_MIC_FIFO=$work/ci_mic.fifo
mkdir -p "$work/sound"
chmod 700 "$work/sound"
start_sound_server "$work/sound" \
  "module-null-sink sink_name=ci_sink format=s16le rate=44100 channels=2 sink_properties=device.description=Test_Null_Sink" \
  "module-pipe-source source_name=ci_mic file=$QUIETMON_MIC_FIFO format=s16le rate=44100 channels=2 source_properties=device.description=Test_Pipe_Mic"
pids+=("${SOUND_SERVER_PIDS[@]}")
set_default_source ci_sink.monitor
pactl --server="$SOUND_SERVER_ADDRESS" info | grep '^Server Name'
PULSE_SERVER=$SOUND_SERVER_ADDRESS "$program" --gtest_brief=1 \
  --gtest_filter='AlsaCaptureDriverTest.*:CapturePaths.*:AlsaCaptureRecovery.*:PulseAudioEndpointsTest.*'

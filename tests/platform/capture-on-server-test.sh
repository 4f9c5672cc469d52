#!/usr/bin/env bash
# The capture and endpoint tests of the integration test program, against a sound server of this test's
# own made like the test environment's (a null sink ci_sink as the default source, a pipe source ci_mic):
# the same tests on PipeWire as on the environment's PulseAudio.
#   capture-on-server-test.sh TEST_PROGRAM pulseaudio|pipewire
source "$(dirname "$0")/../e2e/lib.sh"
program=$(realpath "$1")
export QUIETMON_SOUND_SERVER=$2

export QUIETMON_MIC_FIFO=$work/ci_mic.fifo
start_test_sound_server "$work/sound" "$QUIETMON_MIC_FIFO"
pids+=("${SOUND_SERVER_PIDS[@]}")
set_default_source ci_sink.monitor
pactl --server="$SOUND_SERVER_ADDRESS" info | grep '^Server Name'
PULSE_SERVER=$SOUND_SERVER_ADDRESS "$program" --gtest_brief=1 \
  --gtest_filter='AlsaCaptureDriverTest.*:CapturePaths.*:AlsaCaptureRecovery.*:PulseAudioEndpointsTest.*'

#pragma once

#include "support/LaunchedProcesses.h"
#include "support/TempFolder.h"

#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace quietmon::test {

struct ProgramResult {
    int exitCode = -1;  // -1 when it did not end normally or in time
    std::string output; // standard output and standard error together
};

// Runs a program found on PATH to its end, killing it after `timeoutMs`.
ProgramResult runProgram(const std::vector<std::string>& arguments, int timeoutMs = 10000);

// Runs pactl against `server` ("" for the one the environment names); throws with pactl's message when it
// fails. Its standard output.
std::string pactl(const std::string& server, const std::vector<std::string>& arguments);

// A PulseAudio server of the test's own, in a temporary folder, with one null sink. A test may kill it as
// a crash would, and start it again on the same address.
class PulseTestServer {
public:
    static constexpr const char* sinkName = "private_sink";
    static constexpr const char* monitorName = "private_sink.monitor";

    // Starts it; throws when it does not answer within 15 s.
    PulseTestServer();
    PulseTestServer(const PulseTestServer&) = delete;
    PulseTestServer& operator=(const PulseTestServer&) = delete;

    // What PULSE_SERVER or pactl's --server take.
    std::string address() const { return "unix:" + m_folder.file("native"); }
    bool running() const { return m_server.running(); }

    void start();
    // SIGKILL, so that clients see the connection drop with no goodbye.
    void kill();
    // SIGSTOP and SIGCONT: a server that keeps every connection open and sends nothing meanwhile.
    void freeze();
    void thaw();

private:
    TempFolder m_folder;
    LaunchedProcesses m_server; // stopped before its folder goes
};

// A socket where a server seems to listen: connections are accepted into the backlog and never read.
class UnansweringServer {
public:
    UnansweringServer();
    // At `path`; closing it leaves the socket's file behind there, as a server that died does.
    explicit UnansweringServer(std::string path);
    ~UnansweringServer();
    UnansweringServer(const UnansweringServer&) = delete;
    UnansweringServer& operator=(const UnansweringServer&) = delete;

    std::string address() const { return "unix:" + m_path; }

private:
    void listenAt(std::string path);

    TempFolder m_folder;
    std::string m_path;
    int m_socket = -1;
};

// A null sink loaded into a running server for the life of the object: a sink that no other test plays
// into.
class TemporaryNullSink {
public:
    // `server` as for pactl; `description` without spaces.
    TemporaryNullSink(std::string server, std::string name, const std::string& description, int channels = 2);
    ~TemporaryNullSink();
    TemporaryNullSink(const TemporaryNullSink&) = delete;
    TemporaryNullSink& operator=(const TemporaryNullSink&) = delete;

    const std::string& name() const { return m_name; }
    std::string monitorName() const { return m_name + ".monitor"; }

    // Removes the sink from the server now.
    void unload();

private:
    std::string m_server;
    std::string m_name;
    std::string m_module; // the module's index, empty once unloaded
};

// Reads a source in 10 ms fragments until destroyed, through a parec process whose audio goes nowhere: the
// server then delivers every reader of that source in pieces that small, as beside a low-latency meter.
class HurryingReader {
public:
    // `server` as for pactl.
    HurryingReader(const std::string& server, const std::string& source);
    ~HurryingReader();
    HurryingReader(const HurryingReader&) = delete;
    HurryingReader& operator=(const HurryingReader&) = delete;

private:
    pid_t m_pid = -1;
};

// Plays a sine into a sink until destroyed, through a pacat process fed float32 samples at 44100 Hz; one
// amplitude per channel, and amplitude 0 plays digital silence.
class TonePlayer {
public:
    // `server` as for pactl.
    TonePlayer(const std::string& server, const std::string& sink, std::vector<float> amplitudes,
               double frequency = 1000.0);
    ~TonePlayer();
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

private:
    void writeSamples();

    std::vector<float> m_amplitudes;
    double m_frequency;
    pid_t m_pid = -1;
    int m_socket = -1;
    std::thread m_writer;
};

} // namespace quietmon::test

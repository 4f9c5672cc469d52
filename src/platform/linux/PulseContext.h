#pragma once

struct pa_context;
struct pa_mainloop_api;

namespace quietmon {

// How a connection takes its audio from the server.
enum class PulseTransfer {
    // Blocks in memory shared with the server: no copy, but each block is released with a message that
    // wakes the server. For whole buffers.
    sharedMemory,
    // Copied into the connection: for small blocks, whose copy costs less than their release.
    copied,
};

// A new connection object of the program's on `mainloop`, not yet connected; nothing when libpulse refuses
// (only in a forked child).
pa_context* newPulseContext(pa_mainloop_api* mainloop, PulseTransfer transfer);

} // namespace quietmon

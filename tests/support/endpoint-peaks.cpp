// What a sound server's source hears, for the end-to-end tests, through the program's own endpoint meter:
//   endpoint-peaks SOURCE
// Prints "<milliseconds since the epoch> <peak>" every 100 ms, the peak being the largest of the channels
// (0.0 to 1.0; "lost" while the source cannot be read), until its standard input closes.
#include "platform/linux/PulseAudioEndpoints.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    quietmon::PulseAudioEndpoints endpoints;
    constexpr int readIntervalMs = 100;
    auto meter = endpoints.openMeter(argv[1], readIntervalMs);
    for (;;) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, readIntervalMs) != 0)
            return 0; // closed, or the test wrote to it: either way the test is done
        if (!meter)
            meter = endpoints.openMeter(argv[1], readIntervalMs);
        const auto peaks = meter ? meter->readPeaks() : std::nullopt;
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        if (peaks && !peaks->empty())
            std::printf("%lld %.3f\n", static_cast<long long>(now),
                        *std::max_element(peaks->begin(), peaks->end()));
        else
            std::printf("%lld lost\n", static_cast<long long>(now));
        std::fflush(stdout);
    }
}

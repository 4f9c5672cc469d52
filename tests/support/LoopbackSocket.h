#pragma once

#include <string_view>

namespace quietmon::test {

// A listening TCP socket on 127.0.0.1, on a port the system picks; throws when it cannot be made.
int listenOnLoopback(int& port, int backlog = 16);
// Sends every byte, without SIGPIPE from a peer that has gone; false when the peer is gone.
bool sendAll(int socket, std::string_view bytes);

} // namespace quietmon::test

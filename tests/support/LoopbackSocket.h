#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quietmon::test {

// A listening TCP socket on 127.0.0.1, on a port the system picks; throws when it cannot be made.
int listenOnLoopback(int& port, int backlog = 16);
// Sends every byte, without SIGPIPE from a peer that has gone; false when the peer is gone.
bool sendAll(int socket, std::string_view bytes);
// A connection to `port` on 127.0.0.1 from `source`, one of this computer's 127.x.y.z addresses (a server
// takes each for another client); -1 when none is made.
int connectToLoopback(int port, const char* source = "127.0.0.1");
// Everything the peer sends until it closes the connection, with "<still open>" after it when `limit`
// passes first.
std::string readUntilClosed(int socket, std::chrono::milliseconds limit);

} // namespace quietmon::test

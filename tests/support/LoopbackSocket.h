#pragma once

namespace quietmon::test {

// A listening TCP socket on 127.0.0.1, on a port the system picks; throws when it cannot be made.
int listenOnLoopback(int& port, int backlog = 16);

} // namespace quietmon::test

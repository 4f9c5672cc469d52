#include "platform/linux/PosixNetwork.h"

#include "platform/linux/PosixConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quietmon {

namespace {

using SteadyClock = std::chrono::steady_clock;

int millisecondsUntil(NetworkConnection::Deadline deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first)
            ::freeaddrinfo(first);
    }
};

// A connected socket, -1 with `error` set when this address refused or the deadline passed first.
int connectTo(const addrinfo& address, NetworkConnection::Deadline deadline, Liveness& liveness,
              std::string& error) {
    const int socket =
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (socket < 0) {
        error = std::strerror(errno);
        return -1;
    }
    int result = ::connect(socket, address.ai_addr, address.ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
        for (;;) {
            pollfd entry{socket, POLLOUT, 0};
            const int left = millisecondsUntil(deadline);
            const int ready = ::poll(&entry, 1, std::min(left, Liveness::waitSliceMs));
            liveness.stillAlive();
            if ((ready < 0 && errno == EINTR) || (ready == 0 && left > Liveness::waitSliceMs))
                continue;
            if (ready == 0) {
                error = "the connection timed out";
                ::close(socket);
                return -1;
            }
            int failure = 0;
            socklen_t length = sizeof failure;
            if (ready < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
                failure = errno;
            result = failure == 0 ? 0 : -1;
            errno = failure;
            break;
        }
    }
    if (result != 0) {
        error = std::strerror(errno);
        ::close(socket);
        return -1;
    }
    return socket;
}

} // namespace

std::unique_ptr<NetworkConnection> PosixNetwork::connect(const std::string& host, int port,
                                                         NetworkConnection::Deadline deadline) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.first);
    if (lookup != 0)
        throw NetworkError("Could not find the host \"" + host + "\": " + ::gai_strerror(lookup));
    std::string error = "no address";
    for (const addrinfo* address = addresses.first; address; address = address->ai_next) {
        const int socket = connectTo(*address, deadline, m_liveness, error);
        if (socket >= 0)
            return std::make_unique<PosixConnection>(socket, m_liveness);
        if (SteadyClock::now() >= deadline)
            break;
    }
    throw NetworkError("Could not connect to " + where + ": " + error);
}

std::string PosixNetwork::hostName() const {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

} // namespace quietmon

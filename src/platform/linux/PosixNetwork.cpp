#include "platform/linux/PosixNetwork.h"

#include "platform/linux/PosixConnection.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quietmon {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct AddressList {
    addrinfo* first = nullptr;
    AddressList() = default;
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    ~AddressList() {
        if (first)
            ::freeaddrinfo(first);
    }
};

// One look-up, shared by the thread that asks the resolver and the one waiting for its answer.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable_any answered;
    bool done = false;
    bool abandoned = false; // the waiter gave up: the resolver's thread frees the answer itself
    int status = 0;
    addrinfo* addresses = nullptr;
};

// getaddrinfo has no time limit of its own (a resolver that does not answer holds it for its own
// retries), so it runs on a thread of its own that is left to finish alone when the deadline passes or
// the stop is requested first.
void lookUp(const std::string& host, int port, NetworkConnection::Deadline deadline,
            const std::stop_token& stop, AddressList& addresses) {
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host, service = std::to_string(port)] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_NUMERICSERV;
            addrinfo* found = nullptr;
            const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
            std::lock_guard lock(pending->mutex);
            if (pending->abandoned) {
                if (found)
                    ::freeaddrinfo(found);
                return;
            }
            pending->status = status;
            pending->addresses = found;
            pending->done = true;
            pending->answered.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        throw NetworkError("Could not look up the host \"" + host + "\": " + error.what());
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->answered.wait_until(lock, stop, deadline, [&] { return pending->done; })) {
        pending->abandoned = true;
        if (stop.stop_requested())
            throw NetworkError("The send was stopped.");
        throw NetworkError("Looking up the host \"" + host + "\" took too long.");
    }
    if (pending->status != 0)
        throw NetworkError("Could not find the host \"" + host + "\": " + ::gai_strerror(pending->status));
    addresses.first = pending->addresses;
}

// A connected socket, -1 with `error` set when this address refused or the deadline passed first.
int connectTo(const addrinfo& address, NetworkConnection::Deadline deadline, const std::stop_token& stop,
              std::string& error) {
    const int socket =
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (socket < 0) {
        error = std::strerror(errno);
        return -1;
    }
    int result = ::connect(socket, address.ai_addr, address.ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
        bool writable = false;
        try {
            writable = waitForSocket(socket, POLLOUT, deadline, stop);
        } catch (...) {
            ::close(socket);
            throw;
        }
        if (!writable) {
            error = "the connection timed out";
            ::close(socket);
            return -1;
        }
        int failure = 0;
        socklen_t length = sizeof failure;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
            failure = errno;
        result = failure == 0 ? 0 : -1;
        errno = failure;
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
                                                         NetworkConnection::Deadline deadline,
                                                         std::stop_token stop) {
    AddressList addresses;
    lookUp(host, port, deadline, stop, addresses);
    std::string error = "no address";
    for (const addrinfo* address = addresses.first; address; address = address->ai_next) {
        const int socket = connectTo(*address, deadline, stop, error);
        if (socket >= 0)
            return std::make_unique<PosixConnection>(socket, stop);
        if (SteadyClock::now() >= deadline)
            break;
    }
    throw NetworkError("Could not connect to " + host + ":" + std::to_string(port) + ": " + error);
}

std::string PosixNetwork::hostName() const {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

} // namespace quietmon

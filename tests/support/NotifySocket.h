#pragma once

#include "support/EnvironmentOverride.h"
#include "support/TempFolder.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quietmon::test {

// A stand-in for systemd's notification socket: a datagram socket of the test's own, named in
// NOTIFY_SOCKET (and the watchdog's time-out in WATCHDOG_USEC) while the object lives. A thread of its
// own records each message with the moment it arrived.
class NotifySocket {
public:
    using Moment = std::chrono::steady_clock::time_point;
    struct Message {
        std::string text;
        Moment at;
    };

    // Without a time-out, WATCHDOG_USEC is left unset: the service has no watchdog.
    explicit NotifySocket(std::optional<std::chrono::milliseconds> watchdogTimeout);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    std::vector<Message> messages() const;
    // The texts of the messages, once `count` have arrived (or after 5 s, however many there are).
    std::vector<std::string> texts(std::size_t count) const;
    // The longest time in [from, to] without a message of this text; the first counts from `from`.
    std::chrono::milliseconds longestSilence(const std::string& text, Moment from, Moment to) const;
    // How many messages of this text arrived in [from, to].
    std::size_t countOf(const std::string& text, Moment from, Moment to) const;

private:
    void receive();

    TempFolder m_folder;
    int m_socket = -1;
    std::optional<EnvironmentOverride> m_notifySocket;
    std::optional<EnvironmentOverride> m_watchdogTimeout;
    std::optional<EnvironmentOverride> m_watchdogProcess;
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::atomic<bool> m_stop{false};
    std::thread m_receiver;
};

} // namespace quietmon::test

#include "platform/linux/LogindShutdown.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <systemd/sd-bus.h>

namespace quietmon {

namespace {

constexpr const char* service = "org.freedesktop.login1";
constexpr const char* object = "/org/freedesktop/login1";
constexpr const char* manager = "org.freedesktop.login1.Manager";
constexpr int answerTimeoutSeconds = 5;

std::uint64_t monotonicMicroseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// A method call's outcome: its reply, or why there is none. The call blocks the logic thread, so the whole
// of it, the connection to the bus included, waits 5 s at most: sd-bus would wait 25 s for the answer and
// 90 s for a bus that takes the connection and says nothing. No answer in time is a refusal.
class ManagerCall {
public:
    // `interactive`: the one boolean argument, for the methods that take it.
    ManagerCall(const char* method, std::optional<bool> interactive) {
        const std::uint64_t deadline = monotonicMicroseconds() + answerTimeoutSeconds * 1'000'000ULL;
        int result = sd_bus_open_system(&m_bus);
        if (result < 0) {
            m_failure = std::string("Cannot reach the system bus: ") + std::strerror(-result);
            return;
        }
        result = waitUntilConnected(deadline);
        sd_bus_message* call = nullptr;
        if (result >= 0)
            result = sd_bus_message_new_method_call(m_bus, &call, service, object, manager, method);
        if (result >= 0 && interactive)
            result = sd_bus_message_append(call, "b", static_cast<int>(*interactive));
        if (result >= 0)
            result = sd_bus_call(m_bus, call, timeLeft(deadline), &m_error, &m_reply);
        sd_bus_message_unref(call);
        if (result == -ETIMEDOUT)
            m_failure = "the login manager did not answer within " + std::to_string(answerTimeoutSeconds) +
                        " seconds";
        else if (result < 0)
            m_failure = m_error.message ? m_error.message : std::strerror(-result);
    }
    ~ManagerCall() {
        sd_bus_error_free(&m_error);
        sd_bus_message_unref(m_reply);
        // Not flushed: a flush would wait for a bus that never finished connecting, and a call that was
        // answered left nothing to send.
        sd_bus_close_unref(m_bus);
    }
    ManagerCall(const ManagerCall&) = delete;
    ManagerCall& operator=(const ManagerCall&) = delete;

    const std::optional<std::string>& failure() const { return m_failure; }
    sd_bus_message* reply() const { return m_reply; }

private:
    // At least 1 µs: sd-bus takes 0 for its own default.
    static std::uint64_t timeLeft(std::uint64_t deadline) {
        const std::uint64_t now = monotonicMicroseconds();
        return deadline > now ? deadline - now : 1;
    }
    // Drives the authentication and the greeting until the bus is ready for calls.
    int waitUntilConnected(std::uint64_t deadline) {
        for (;;) {
            int result = sd_bus_is_ready(m_bus);
            if (result != 0)
                return result;
            result = sd_bus_process(m_bus, nullptr);
            if (result < 0)
                return result;
            if (result > 0)
                continue;
            if (monotonicMicroseconds() >= deadline)
                return -ETIMEDOUT;
            result = sd_bus_wait(m_bus, timeLeft(deadline));
            if (result < 0)
                return result;
        }
    }

    sd_bus* m_bus = nullptr;
    sd_bus_error m_error{nullptr, nullptr, 0}; // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* m_reply = nullptr;
    std::optional<std::string> m_failure;
};

} // namespace

std::string LogindShutdown::mayShutDown(ShutdownKind kind) {
    const ManagerCall call(kind == ShutdownKind::Reboot ? "CanReboot" : "CanPowerOff", std::nullopt);
    if (call.failure())
        return *call.failure();
    const char* answer = nullptr;
    if (const int result = sd_bus_message_read(call.reply(), "s", &answer); result < 0)
        return std::strerror(-result);
    return answer ? answer : "";
}

std::optional<std::string> LogindShutdown::shutDown(ShutdownKind kind) {
    // Not interactive: nobody may be at the computer to type a password, and the monitor must not wait.
    const ManagerCall call(kind == ShutdownKind::Reboot ? "Reboot" : "PowerOff", false);
    return call.failure();
}

} // namespace quietmon

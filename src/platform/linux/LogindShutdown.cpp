#include "platform/linux/LogindShutdown.h"

#include <cstring>
#include <systemd/sd-bus.h>

namespace quietmon {

namespace {

constexpr const char* service = "org.freedesktop.login1";
constexpr const char* object = "/org/freedesktop/login1";
constexpr const char* manager = "org.freedesktop.login1.Manager";

// A method call's outcome: its reply, or why there is none.
class ManagerCall {
public:
    // `interactive`: the one boolean argument, for the methods that take it.
    ManagerCall(const char* method, std::optional<bool> interactive) {
        int result = sd_bus_open_system(&m_bus);
        if (result < 0) {
            m_failure = std::string("Cannot reach the system bus: ") + std::strerror(-result);
            return;
        }
        result = interactive
                     ? sd_bus_call_method(m_bus, service, object, manager, method, &m_error, &m_reply, "b",
                                          static_cast<int>(*interactive))
                     : sd_bus_call_method(m_bus, service, object, manager, method, &m_error, &m_reply, "");
        if (result < 0)
            m_failure = m_error.message ? m_error.message : std::strerror(-result);
    }
    ~ManagerCall() {
        sd_bus_error_free(&m_error);
        sd_bus_message_unref(m_reply);
        sd_bus_flush_close_unref(m_bus);
    }
    ManagerCall(const ManagerCall&) = delete;
    ManagerCall& operator=(const ManagerCall&) = delete;

    const std::optional<std::string>& failure() const { return m_failure; }
    sd_bus_message* reply() const { return m_reply; }

private:
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

#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quietmon::test {

// Sets an environment variable of this process for the life of the object, then puts back what was there.
class EnvironmentOverride {
public:
    EnvironmentOverride(std::string name, const std::string& value) : m_name(std::move(name)) {
        if (const char* previous = std::getenv(m_name.c_str()))
            m_previous = previous;
        ::setenv(m_name.c_str(), value.c_str(), 1);
    }
    ~EnvironmentOverride() {
        if (m_previous)
            ::setenv(m_name.c_str(), m_previous->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

} // namespace quietmon::test

#pragma once

#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quietmon::test {

// Whether an X server holds (or left behind) this display number.
bool displayNumberTaken(int number);

// An Xvfb of the test's own (320x240, 24 bits), which the test may kill as a crash would and start again
// on the same number. `extraArguments` go to Xvfb as they are ("-extension", "X-Resource" turns one off).
class PrivateXServer {
public:
    explicit PrivateXServer(std::vector<std::string> extraArguments = {});
    ~PrivateXServer() { stop(SIGTERM); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    std::string name() const { return ":" + std::to_string(m_number); }

    void crash();
    void restart();

private:
    // True once the server accepts connections: it writes its display number to -displayfd then.
    bool start(int number);
    void stop(int signal);

    std::vector<std::string> m_extraArguments;
    int m_number = -1;
    pid_t m_pid = -1;
    bool m_serving = false;
};

} // namespace quietmon::test

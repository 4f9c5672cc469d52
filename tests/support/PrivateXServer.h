#pragma once

#include "support/LaunchedProcesses.h"
#include "support/TempFolder.h"

#include <string>
#include <vector>

namespace quietmon::test {

// Whether an X server holds (or left behind) this display number.
bool displayNumberTaken(int number);

// An Xvfb of the test's own (320x240, 24 bits), which the test may kill as a crash would and start again
// on the same number. `extraArguments` go to Xvfb as they are ("-extension", "X-Resource" turns one off).
class PrivateXServer {
public:
    explicit PrivateXServer(std::vector<std::string> extraArguments = {});
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    std::string name() const { return ":" + std::to_string(m_number); }

    void crash();
    void restart();

private:
    // Whether it took clients on `number` within 15 s.
    bool start(int number);

    std::vector<std::string> m_extraArguments;
    int m_number = -1;
    TempFolder m_folder; // its log
    LaunchedProcesses m_server;
};

} // namespace quietmon::test

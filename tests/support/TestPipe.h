#pragma once

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace quietmon::test {

// A non-blocking pipe of the test's own: its reading end is readable while a byte written is unread.
class TestPipe {
public:
    TestPipe() {
        if (::pipe2(m_ends, O_NONBLOCK | O_CLOEXEC) != 0)
            throw std::runtime_error("cannot create a pipe");
    }
    ~TestPipe() {
        ::close(m_ends[0]);
        ::close(m_ends[1]);
    }
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    int reader() const { return m_ends[0]; }
    void write() { (void)!::write(m_ends[1], "x", 1); }
    void drain() {
        char bytes[64];
        while (::read(m_ends[0], bytes, sizeof bytes) > 0) {
        }
    }

private:
    int m_ends[2] = {-1, -1};
};

} // namespace quietmon::test

#pragma once

#include <functional>
#include <string>

namespace quietmon::test {

// File permissions mean nothing to root, and the tests run as root in CI. These run a check as the
// unprivileged user "nobody" when the tests run as root, and in-process otherwise.

// Hands a folder and everything in it to the user that runUnprivileged runs as.
void giveToUnprivilegedUser(const std::string& path);
// Runs `body` and returns its result; -1 if the body's process died.
int runUnprivileged(const std::function<int()>& body);
// Runs `body` in a forked child, for a check that changes what the whole process may do (a resource
// limit), and returns its result; -1 if the child died.
int runInChild(const std::function<int()>& body);

} // namespace quietmon::test

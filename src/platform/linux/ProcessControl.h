#pragma once

#include <string>
#include <vector>

namespace quietmon {

// Idle priority (nice 19) or normal priority (nice 0) for every thread of the process; threads started
// later inherit it from the thread that starts them. Raising the priority back may need privileges the
// program lacks: failures are ignored.
void setIdlePriority(bool idle);

// A regular file this process may execute; a relative path is taken from the current folder.
bool isExecutableFile(const std::string& path);
// An executable file that is a program: an ELF binary, or a script that names its interpreter ("#!").
// Any other file is a document even with the execute bit, as every file is on many CIFS, NTFS and exFAT
// mounts. A file that may be executed but not read cannot be looked into: the system decides.
bool isProgramFile(const std::string& path);

// The full path of `program` found on PATH (a name with a "/" is taken as it is), or empty.
std::string findProgram(const std::string& program);

// Starts a program detached from this one, without a shell; returns false if it could not be started,
// with the system's reason ("Exec format error") in `failure`.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                   std::string* failure = nullptr);

} // namespace quietmon

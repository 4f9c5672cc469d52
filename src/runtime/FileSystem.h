#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quietmon {

// The file operations the settings and the log need. Files and folders made here are private to their
// owner: the settings file holds passwords.

// Writes all of `contents` into the open file `fd` at `offset`, through short writes and interruptions.
// On failure errno tells why.
bool writeAllAt(int fd, std::string_view contents, std::uint64_t offset);

// Replaces a file's contents so that a crash, a full disk or a power cut never leaves it cut short:
// the new contents go to a temporary file beside it, are flushed to disk and renamed over the old
// file, and the folder is flushed after the rename. Only where the folder allows no new file (read-only,
// or not the user's) but the file itself is writable is the file rewritten in place, after the room for
// the new contents has been reserved. Returns false when the file could not be replaced, with the
// system's reason ("No space left on device") in `failure`; the old file is then whole.
bool replaceFileContents(const std::string& path, std::string_view contents, std::string* failure = nullptr);

// Writes a file whole or not at all, for files that are not private (pictures the tasks save): the
// contents go to a temporary file beside it that is renamed over any old file, so that a full disk never
// leaves a cut-short file in its place. Never rewrites in place. The file gets the permissions of any
// new file (0666 less the umask). Returns false when it could not be written, with the system's reason in
// `failure`; an old file stays as it was.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string* failure = nullptr);

// At most `maxBytes` of a regular file; `found` tells whether it could be opened at all.
std::string readFileContents(const std::string& path, std::size_t maxBytes, bool* found = nullptr);
// The same, for a file that must be there: `failure` gets the system's reason ("No such file or
// directory") when it cannot be opened or read as a regular file, and is empty when it was read.
std::string readFileContents(const std::string& path, std::size_t maxBytes, std::string& failure);

bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// Creates the folder and any missing parents. Returns false if it does not exist afterwards.
bool createFolders(const std::string& path);
bool changeCurrentFolder(const std::string& path);
// The names of a folder's entries, without "." and ".."; empty when it cannot be read.
std::vector<std::string> folderEntries(const std::string& path);
bool removeFile(const std::string& path);
// Renames a file, replacing any file of the new name.
bool renameFile(const std::string& from, const std::string& to);

// A file opened for appending; every append reaches the file before it returns.
class AppendOnlyFile {
public:
    AppendOnlyFile() = default;
    ~AppendOnlyFile();
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    // Opens the file for appending, creating it empty if missing.
    bool open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }
    bool append(std::string_view bytes);
    bool close();
    // The file's size when it was opened plus what was appended since, without asking the system again.
    std::uint64_t sizeBytes() const { return m_sizeBytes; }

private:
    int m_fd = -1;
    std::uint64_t m_sizeBytes = 0;
};

} // namespace quietmon

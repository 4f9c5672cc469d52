#pragma once

#include <string>

namespace quietmon::test {

// A fresh folder under the system's temporary folder, removed with everything in it when destroyed.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, without a trailing "/".
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& contents);

} // namespace quietmon::test

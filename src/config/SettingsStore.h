#pragma once

#include "config/IniFile.h"
#include "config/Settings.h"
#include "platform/DateTime.h"

#include <string>
#include <vector>

namespace quietmon {

// The main window's own keys (AlwaysOnTop, Top, Left, Visible, Threshold, UseSystemFont), read when it
// is created.
void loadWindowKeys(const IniFile& file, Settings& settings);
// Every other key, read when the Setup dialog is created: passwords unscrambled, number fields clamped
// into their ranges, list choices outside their lists left unselected, exclusive choices settled.
void loadSetupKeys(const IniFile& file, Settings& settings);

// Writes every key in the save sequence into `file`, keeping all other lines of it.
void writeSettings(IniFile& file, const Settings& settings, DateTime savedAt);

// The settings file on disk.
class SettingsFile {
public:
    explicit SettingsFile(std::string path) : m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }

    // The file as it is now; an empty document when it is missing or unreadable.
    IniFile read() const;
    // What a save would write now, over the file's current contents.
    std::string renderSave(const Settings& settings, DateTime savedAt) const;
    // Writes the whole file at once; on failure the old file stays as it was. Returns whether it was saved.
    bool save(const Settings& settings, DateTime savedAt) const;

private:
    std::string m_path;
};

// The 0-based line of `lines` equal to `name` without regard to ASCII case, else `fallback`.
int findDeviceLine(const std::vector<std::string>& lines, const std::string& name, int fallback);

} // namespace quietmon

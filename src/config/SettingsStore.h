#pragma once

#include "config/IniFile.h"
#include "config/Settings.h"
#include "runtime/DateTime.h"

#include <optional>
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

// The settings file on disk. The program writes it whole, so an edit somebody made while the program ran
// would be overwritten: a save first keeps such a file as "<name>.edited-<yyyymmdd-hhnnss>" beside it.
// A file larger than `maxBytes` is no settings file the program made: it is neither read nor written over.
class SettingsFile {
public:
    // How many edited copies are kept; older ones are removed.
    static constexpr std::size_t keptEditedCopies = 10;
    // The program's own file is a few kilobytes.
    static constexpr std::size_t maxBytes = 1024 * 1024;
    // Why a file over `maxBytes` is not read: "larger than 1048576 bytes".
    static std::string tooLargeReason();

    struct SaveOutcome {
        bool saved = false;
        std::string editedCopy;        // the name of the copy kept of an edited file, or empty
        bool editedCopyFailed = false; // the file was edited, no copy could be made and it was left alone
        std::string failure;           // why nothing was written, when a write failed or was refused
    };

    explicit SettingsFile(std::string path) : m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }
    // A save to another path has nothing to compare with.
    void setPath(const std::string& path);

    // The file as it is now; an empty document when it is missing, unreadable or too large.
    IniFile read() const;
    // Reads the file, as read(), and remembers it as what the program last saw of it. A file too large to
    // read is refused for as long as the path stays: refusal() says why, and no save writes over it.
    IniFile load();
    // Why the loaded file was refused; empty when it was read (or missing).
    const std::string& refusal() const { return m_refusal; }
    // The file as it is now, for a file that must be there: nothing when it cannot be read, with the
    // system's reason (or tooLargeReason()) in `failure`.
    std::optional<IniFile> readRequired(std::string& failure) const;
    // What a save would write now, over the file's current contents.
    std::string renderSave(const Settings& settings, DateTime savedAt) const;
    // Writes the whole file at once; on failure the old file stays as it was, and the outcome says why.
    SaveOutcome save(const Settings& settings, DateTime savedAt);

private:
    std::string keepEditedCopy(const std::string& text, DateTime savedAt) const;

    std::string m_path;
    // The file's contents as last read or written; nothing before the first load, or when it was missing.
    bool m_seenOnce = false;
    std::optional<std::string> m_lastSeen;
    std::string m_refusal;
};

// The 0-based line of `lines` equal to `name` without regard to ASCII case, else `fallback`.
int findDeviceLine(const std::vector<std::string>& lines, const std::string& name, int fallback);

} // namespace quietmon

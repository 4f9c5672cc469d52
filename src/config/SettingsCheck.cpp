#include "config/SettingsCheck.h"

#include "config/CertificateFingerprint.h"
#include "config/IniValues.h"
#include "config/NearestName.h"
#include "config/ProductName.h"
#include "config/Scramble.h"
#include "config/SettingsSchema.h"
#include "config/SettingsStore.h"
#include "config/SmtpServerAddress.h"
#include "config/StatusAddress.h"
#include "config/StreamAddress.h"
#include "config/TaskKinds.h"
#include "config/taskkinds/EmailSettings.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace quietmon {

namespace {

using Kind = SettingsWarning::Kind;

// A section of the settings schema with the keys the monitor knows in it.
struct SchemaSection {
    std::string name;
    std::vector<std::string> keys;
    std::vector<const KeySpec*> specs; // alongside `keys`
};

// In the order a save writes them.
const std::vector<SchemaSection>& schemaSections() {
    static const std::vector<SchemaSection> sections = [] {
        std::vector<SchemaSection> list;
        for (const KeySpec& spec : settingsSchema()) {
            auto section = std::find_if(list.begin(), list.end(), [&](const SchemaSection& known) {
                return known.name == spec.section;
            });
            if (section == list.end())
                section = list.insert(list.end(), SchemaSection{spec.section, {}, {}});
            section->keys.push_back(spec.key);
            section->specs.push_back(&spec);
        }
        return list;
    }();
    return sections;
}

std::optional<std::size_t> indexOfName(const std::vector<std::string>& names, const std::string& name) {
    const auto found = std::find_if(names.begin(), names.end(), [&](const std::string& known) {
        return sameNameIgnoringCase(known, name);
    });
    return found == names.end() ? std::nullopt
                                : std::optional(static_cast<std::size_t>(found - names.begin()));
}

// Lines the reader ignores on purpose: blank ones and comments. (A comment line that holds "=" reads as a
// key that no section has, which does nothing either.)
bool isBlankOrComment(const IniFile::Line& line) {
    const auto start = line.text.find_first_not_of(" \t");
    return start == std::string::npos || line.text[start] == ';' || line.text[start] == '#';
}

std::string orList(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " or " : ", ";
        text += items[i];
    }
    return text;
}

// Names seen so far with the line each first stood on.
class FirstLines {
public:
    void clear() { m_seen.clear(); }
    // The first line of `name` if it was seen before; otherwise records `line` as its first.
    std::optional<std::size_t> earlierLine(const std::string& name, std::size_t line) {
        const auto [first, added] = m_seen.try_emplace(foldedName(name), line);
        return added ? std::nullopt : std::optional(first->second);
    }

private:
    std::unordered_map<std::string, std::size_t> m_seen; // by folded name
};

// One pass over the file's lines in the reader's terms: which section the keys belong to, and whether
// that section is read at all.
class FileWalk {
public:
    explicit FileWalk(const IniFile& file) {
        loadWindowKeys(file, m_loaded);
        loadSetupKeys(file, m_loaded);
        writeSettings(m_used, m_loaded, DateTime());

        const SchemaSection* section = nullptr; // the section whose keys are read, if any
        bool sectionSeen = false;
        const auto& lines = file.lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const IniFile::Line& line = lines[i];
            const std::size_t number = i + 1;
            if (isBlankOrComment(line))
                continue;
            switch (line.kind) {
            case IniFile::LineKind::Section:
                section = enterSection(number, line);
                sectionSeen = true;
                break;
            case IniFile::LineKind::Key:
                if (section)
                    checkKey(number, line, *section);
                else if (!sectionSeen)
                    warn(number, Kind::StrayLine, line.name + " comes before any [section]: it is ignored");
                break; // the keys of an unknown or repeated section were reported with its header
            case IniFile::LineKind::Other:
                warn(number, Kind::StrayLine,
                     "this line is no [section] header, key=value line or ; comment: it is ignored");
                break;
            }
        }
    }

    std::vector<SettingsWarning> takeWarnings() { return std::move(m_warnings); }

private:
    const SchemaSection* enterSection(std::size_t line, const IniFile::Line& header) {
        const std::string shown = "[" + header.name + "]";
        if (header.text.find(']') == std::string::npos)
            warn(line, Kind::UnclosedHeader, "[" + header.name + " has no closing ]: it is read as " + shown);
        m_keyLines.clear();
        const auto& sections = schemaSections();
        const auto known = std::find_if(sections.begin(), sections.end(), [&](const SchemaSection& section) {
            return sameNameIgnoringCase(section.name, header.name);
        });
        if (known == sections.end()) {
            std::vector<std::string> names;
            for (const SchemaSection& section : sections)
                names.push_back(section.name);
            const auto meant = nearestName(header.name, names);
            warn(line, Kind::UnknownSection,
                 shown + " is not a section the monitor reads" +
                     (meant ? "; did you mean [" + *meant + "]?" : ": its keys are ignored"));
            return nullptr;
        }
        if (const auto first = m_sectionLines.earlierLine(known->name, line)) {
            warn(line, Kind::RepeatedSection,
                 shown + " repeats line " + std::to_string(*first) + ": only the first [" + known->name +
                     "] is read, the keys under this one are ignored");
            return nullptr;
        }
        return &*known;
    }

    void checkKey(std::size_t line, const IniFile::Line& key, const SchemaSection& section) {
        const auto index = indexOfName(section.keys, key.name);
        if (!index) {
            reportUnknownKey(line, key.name, section);
            return;
        }
        if (const auto first = m_keyLines.earlierLine(key.name, line)) {
            const std::string earlier = std::to_string(*first);
            warn(line, Kind::RepeatedKey,
                 key.name + " repeats line " + earlier + ": the value on line " + earlier +
                     " counts, this one is ignored");
            return;
        }
        const KeySpec& spec = *section.specs[*index];
        if (spec.role != KeyRole::WriteOnly)
            checkValue(line, key, spec);
    }

    void reportUnknownKey(std::size_t line, const std::string& key, const SchemaSection& section) {
        std::vector<std::string> homes; // the sections that do have this key
        for (const SchemaSection& other : schemaSections()) {
            if (indexOfName(other.keys, key))
                homes.push_back("[" + other.name + "]");
        }
        std::string message = key + " is not a key of [" + section.name + "]";
        if (!homes.empty())
            message += ": it belongs in " + orList(homes);
        else if (const auto meant = nearestName(key, section.keys))
            message += "; did you mean " + *meant + "?";
        else
            message += ": it is ignored";
        warn(line, Kind::UnknownKey, message);
    }

    void checkValue(std::size_t line, const IniFile::Line& key, const KeySpec& spec) {
        const std::string& value = key.value;
        if (value.size() > IniFile::maxValueLength) {
            warn(line, Kind::ValueTooLong,
                 key.name + " is " + std::to_string(value.size()) + " characters long: only the first " +
                     std::to_string(IniFile::maxValueLength) + " are read");
            return;
        }
        const std::string setting = key.name + "=" + value;
        const std::string used = m_used.read(spec.section, spec.key).value_or("");
        switch (spec.type) {
        case ValueType::Bool:
            if (spec.key == "Authentization")
                checkLoginInClear(line, spec.section);
            [[fallthrough]];
        case ValueType::Integer: {
            const auto number = parseIniInteger(value);
            if (!number) {
                warn(line, Kind::UnparsableValue,
                     setting + " is not a whole number: " + used + " is used instead");
            } else if ((spec.rule == LoadRule::Clamp && (*number < spec.min || *number > spec.max)) ||
                       (spec.rule == LoadRule::QueuePosition && *number > spec.max &&
                        *number != noQueuePositionInFile)) {
                warn(line, Kind::OutOfRange,
                     setting + " is outside " + std::to_string(spec.min) + " to " + std::to_string(spec.max) +
                         ": " + used + " is used instead");
            } else if (spec.rule == LoadRule::ListIndex && *number != -1 &&
                       (*number < 0 || *number >= spec.max)) {
                // -1 is the monitor's own way of saving "nothing chosen".
                warn(line, Kind::OutOfRange,
                     setting + " is not one of the choices 0 to " + std::to_string(spec.max - 1) +
                         ": nothing is chosen (saved as " + used + ")");
            }
            break;
        }
        case ValueType::Time:
            if (!value.empty() && !parseIniTime(value))
                warn(line, Kind::UnparsableValue,
                     setting + " is not a time of day (hh:mm:ss): " + used + " is used instead");
            break;
        case ValueType::ScrambledString:
            if (scramble(unscramble(value)) != value)
                warn(line, Kind::PlainPassword,
                     key.name + " is not in the scrambled form the monitor stores, so it is read as other "
                                "characters: type the password in the Setup dialog instead");
            break;
        case ValueType::String:
            if (!value.empty() && (spec.section == "Tasks" || spec.section == "RetTasks"))
                checkTaskRow(line, key, spec.section == "Tasks");
            else if (spec.key == "TrustedCertificate" && !value.empty() &&
                     !parseCertificateFingerprint(value))
                warn(line, Kind::UnparsableValue,
                     key.name +
                         " is not a SHA-256 fingerprint (64 hexadecimal digits, as \"openssl x509 "
                         "-noout -fingerprint -sha256\" prints them): no certificate is trusted by it, "
                         "only those the system trusts");
            else if (spec.section == "General" && spec.key == "StatusAddress")
                checkStatusEndpoint(line);
            else if (spec.section == "General" && spec.key == "StreamAddress" && !value.empty())
                if (const auto refusal = streamAddressRefusal(value))
                    warn(line, Kind::UnparsableValue,
                         key.name + "=" + addressWithoutCredentials(value) + " is not read: " + *refusal);
            break;
        case ValueType::DateTime:
            // Only a kept moment is read; the save time is written and never checked.
            if (!value.empty() && !parseIniDateTime(value))
                warn(line, Kind::UnparsableValue,
                     setting + " is not a date and time (yyyy-mm-dd hh:nn:ss): " +
                         (used.empty() ? std::string("none") : used) + " is used instead");
            break;
        }
    }

    // A login over a connection that is never encrypted gives the mail password to anyone on the way.
    void checkLoginInClear(std::size_t line, const std::string& section) {
        const EmailSettings& email = m_loaded.queue(section == "Email" ? QueueKind::Alarm : QueueKind::Return)
                                         .of<TaskKind::SendEmail>();
        const bool implicitTls = parseSmtpServerText(email.smtp).port == SmtpServerAddress::implicitTlsPort;
        if (email.authenticate && !email.ssl && !implicitTls)
            warn(line, Kind::ExposedSecret,
                 "[" + section +
                     "] logs in with SSL=0: the user name and password travel unencrypted; set "
                     "SSL=1 (STARTTLS) or use port 465");
    }

    // Rows are compared with the task names whole and case-sensitive: a near miss does nothing at all.
    void checkTaskRow(std::size_t line, const IniFile::Line& key, bool alarmQueue) {
        const std::vector<std::string> alarmTasks = captionsOf(QueueKind::Alarm);
        const std::vector<std::string> returnTasks = captionsOf(QueueKind::Return);
        const std::vector<std::string>& own = alarmQueue ? alarmTasks : returnTasks;
        const std::vector<std::string>& other = alarmQueue ? returnTasks : alarmTasks;
        const std::string& name = key.value;
        if (std::find(own.begin(), own.end(), name) != own.end())
            return;
        const bool otherQueues = std::find(other.begin(), other.end(), name) != other.end();
        const std::string queue = alarmQueue ? "alarm" : "return";
        std::string message = key.name + "=" + name +
                              (otherQueues ? (alarmQueue ? " is not an " : " is not a ") : " names no ") +
                              queue + " task";
        if (const auto meant = nearestName(name, own))
            message += (sameNameIgnoringCase(name, *meant) ? ": task names are case-sensitive; did you mean "
                                                           : "; did you mean ") +
                       *meant + "?";
        else
            message += ": the row does nothing";
        warn(line, Kind::UnknownTask, message);
    }

    // Reported on the StatusAddress line, in the words of the program's log line.
    void checkStatusEndpoint(std::size_t line) {
        GeneralSettings general;
        general.statusAddress = m_used.read("General", "StatusAddress").value_or("");
        general.statusToken = m_used.read("General", "StatusToken").value_or("");
        const StatusEndpointPlan plan = planStatusEndpoint(general);
        if (const auto* refused = std::get_if<StatusEndpointRefused>(&plan))
            warn(line, Kind::StatusEndpoint, "the status endpoint is not started: " + refused->reason);
    }

    void warn(std::size_t line, Kind kind, std::string message) {
        m_warnings.push_back({line, kind, std::move(message)});
    }

    std::vector<SettingsWarning> m_warnings;
    Settings m_loaded = defaultSettings(productName());
    IniFile m_used; // every key as the loader took it, in the form a save writes
    FirstLines m_sectionLines;
    FirstLines m_keyLines; // of the section being read
};

} // namespace

SettingsCheck::SettingsCheck(const IniFile& file) : m_warnings(FileWalk(file).takeWarnings()) {}

} // namespace quietmon

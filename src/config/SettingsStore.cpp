#include "config/SettingsStore.h"

#include "config/IniValues.h"
#include "config/Scramble.h"
#include "config/SettingsSchema.h"
#include "runtime/FileSystem.h"

#include <algorithm>
#include <span>
#include <type_traits>

namespace quietmon {

namespace {

bool isWindowKey(const KeySpec& spec) {
    static const char* const windowKeys[] = {"AlwaysOnTop", "Top",       "Left",
                                             "Visible",     "Threshold", "UseSystemFont"};
    return spec.section == "General" && std::any_of(std::begin(windowKeys), std::end(windowKeys),
                                                    [&](const char* key) { return spec.key == key; });
}

int applyLoadRule(const KeySpec& spec, int value) {
    switch (spec.rule) {
    case LoadRule::AsRead:
        return value;
    case LoadRule::Clamp:
        return std::clamp(value, spec.min, spec.max);
    case LoadRule::ListIndex:
        return (value >= 0 && value < spec.max) ? value : -1;
    case LoadRule::QueuePosition:
        break;
    }
    return value;
}

std::optional<int> queuePosition(const KeySpec& spec, int stored) {
    if (stored < 1 || stored == noQueuePositionInFile)
        return std::nullopt;
    return std::clamp(stored, spec.min, spec.max);
}

void loadKey(const IniFile& file, const KeySpec& spec, Settings& settings) {
    const auto text = file.read(spec.section, spec.key);
    std::visit(
        [&](const auto& field) {
            using Field = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::function<bool&(Settings&)>>) {
                bool& value = field(settings);
                const auto parsed = text ? parseIniInteger(*text) : std::nullopt;
                value = parsed ? *parsed != 0 : value;
            } else if constexpr (std::is_same_v<Field, std::function<int&(Settings&)>>) {
                int& value = field(settings);
                const auto parsed = text ? parseIniInteger(*text) : std::nullopt;
                value = applyLoadRule(spec, parsed.value_or(value));
            } else if constexpr (std::is_same_v<Field, std::function<std::optional<int>&(Settings&)>>) {
                std::optional<int>& value = field(settings);
                const auto parsed = text ? parseIniInteger(*text) : std::nullopt;
                if (parsed)
                    value = queuePosition(spec, *parsed);
            } else if constexpr (std::is_same_v<Field, ChoiceLine>) {
                const auto parsed = text ? parseIniInteger(*text) : std::nullopt;
                field.set(settings, applyLoadRule(spec, parsed.value_or(field.get(settings))));
            } else if constexpr (std::is_same_v<Field, std::function<std::string&(Settings&)>>) {
                std::string& value = field(settings);
                if (text)
                    value = spec.type == ValueType::ScrambledString ? unscramble(*text) : *text;
            } else if constexpr (std::is_same_v<Field, std::function<TimeOfDay&(Settings&)>>) {
                TimeOfDay& value = field(settings);
                if (text && !text->empty())
                    value = parseIniTime(*text).value_or(value);
            } else if constexpr (std::is_same_v<Field, std::function<DateTime&(Settings&)>>) {
                DateTime& value = field(settings);
                if (text)
                    value = text->empty() ? DateTime() : parseIniDateTime(*text).value_or(value);
            }
        },
        spec.field);
}

// The flags of one choice, read together: a later ticked flag wins over the earlier ones, a flag the file
// does not hold (or holds no number in) keeps the current choice's, and nothing is chosen when no flag is
// ticked.
void loadOptionFlags(const IniFile& file, std::span<const KeySpec> flags, Settings& settings) {
    const OptionFlag* chosen = nullptr;
    for (const KeySpec& spec : flags) {
        const OptionFlag& flag = std::get<OptionFlag>(spec.field);
        const auto text = file.read(spec.section, spec.key);
        const auto parsed = text ? parseIniInteger(*text) : std::nullopt;
        if (parsed ? *parsed != 0 : flag.isChosen(settings))
            chosen = &flag;
    }
    if (chosen) {
        chosen->choose(settings, true);
        return;
    }
    for (const KeySpec& spec : flags)
        std::get<OptionFlag>(spec.field).choose(settings, false);
}

bool isOptionFlag(const KeySpec& spec) {
    return std::holds_alternative<OptionFlag>(spec.field);
}

std::string savedValue(const KeySpec& spec, Settings& settings, DateTime savedAt) {
    return std::visit(
        [&](const auto& field) -> std::string {
            using Field = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::monostate>)
                return savedAt.formatDateTime();
            else if constexpr (std::is_same_v<Field, std::function<bool&(Settings&)>>)
                return iniBool(field(settings));
            else if constexpr (std::is_same_v<Field, std::function<int&(Settings&)>>)
                return iniInteger(field(settings));
            else if constexpr (std::is_same_v<Field, std::function<std::optional<int>&(Settings&)>>)
                return iniInteger(field(settings).value_or(noQueuePositionInFile));
            else if constexpr (std::is_same_v<Field, ChoiceLine>)
                return iniInteger(field.get(settings));
            else if constexpr (std::is_same_v<Field, OptionFlag>)
                return iniBool(field.isChosen(settings));
            else if constexpr (std::is_same_v<Field, std::function<std::string&(Settings&)>>)
                return spec.type == ValueType::ScrambledString ? scramble(field(settings)) : field(settings);
            else if constexpr (std::is_same_v<Field, std::function<DateTime&(Settings&)>>)
                return iniDateTime(field(settings));
            else
                return iniTime(field(settings));
        },
        spec.field);
}

} // namespace

void loadWindowKeys(const IniFile& file, Settings& settings) {
    for (const KeySpec& spec : settingsSchema()) {
        if (isWindowKey(spec))
            loadKey(file, spec, settings);
    }
}

void loadSetupKeys(const IniFile& file, Settings& settings) {
    // Reads have no side effects, so the order of the file's sections does not matter here.
    const std::span<const KeySpec> schema = settingsSchema();
    for (std::size_t i = 0; i < schema.size(); ++i) {
        const KeySpec& spec = schema[i];
        if (isWindowKey(spec) || spec.role == KeyRole::WriteOnly)
            continue;
        if (!isOptionFlag(spec)) {
            loadKey(file, spec, settings);
            continue;
        }
        std::size_t end = i + 1;
        while (end < schema.size() && isOptionFlag(schema[end]))
            ++end;
        loadOptionFlags(file, schema.subspan(i, end - i), settings);
        i = end - 1;
    }
}

void writeSettings(IniFile& file, const Settings& settings, DateTime savedAt) {
    Settings source = settings; // the field references are shared by loading and saving
    for (const KeySpec& spec : settingsSchema())
        file.write(spec.section, spec.key, savedValue(spec, source, savedAt));
}

namespace {

// The file's contents, or nothing when it is missing or cannot be read (with the system's reason in
// `failure`) or is larger than a settings file may be (with that as the reason).
std::optional<std::string> readSettingsText(const std::string& path, std::string& failure) {
    std::string text = readFileContents(path, SettingsFile::maxBytes + 1, failure);
    if (!failure.empty())
        return std::nullopt;
    if (text.size() > SettingsFile::maxBytes) {
        failure = SettingsFile::tooLargeReason();
        return std::nullopt;
    }
    return text;
}

bool isTooLarge(const std::string& failure) {
    return failure == SettingsFile::tooLargeReason();
}

std::string renderOver(const std::string& current, const Settings& settings, DateTime savedAt) {
    IniFile file = IniFile::parse(current);
    writeSettings(file, settings, savedAt);
    return file.text();
}

// "20261207-134501": sorts in time order.
std::string compactTimestamp(DateTime when) {
    std::string text = when.formatDateTime(); // "yyyy-mm-dd hh:nn:ss"
    std::erase_if(text, [](char c) { return c == '-' || c == ':'; });
    std::replace(text.begin(), text.end(), ' ', '-');
    return text;
}

} // namespace

std::string SettingsFile::tooLargeReason() {
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

void SettingsFile::setPath(const std::string& path) {
    if (path == m_path)
        return;
    m_path = path;
    m_seenOnce = false;
    m_lastSeen.reset();
    m_refusal.clear();
}

IniFile SettingsFile::read() const {
    std::string failure;
    return IniFile::parse(readSettingsText(m_path, failure).value_or(""));
}

std::optional<IniFile> SettingsFile::readRequired(std::string& failure) const {
    const std::optional<std::string> text = readSettingsText(m_path, failure);
    if (!text)
        return std::nullopt;
    return IniFile::parse(*text);
}

IniFile SettingsFile::load() {
    std::string failure;
    m_lastSeen = readSettingsText(m_path, failure);
    m_seenOnce = true;
    m_refusal = isTooLarge(failure) ? failure : std::string();
    return IniFile::parse(m_lastSeen.value_or(""));
}

std::string SettingsFile::renderSave(const Settings& settings, DateTime savedAt) const {
    return renderOver(read().text(), settings, savedAt);
}

SettingsFile::SaveOutcome SettingsFile::save(const Settings& settings, DateTime savedAt) {
    SaveOutcome outcome;
    std::string failure;
    const std::optional<std::string> current = readSettingsText(m_path, failure);
    // A file too large to read is the user's own: it is never replaced by one made from the defaults.
    if (!m_refusal.empty() || isTooLarge(failure)) {
        outcome.failure = "the settings file is " + tooLargeReason();
        return outcome;
    }
    // A file removed by hand holds nothing to keep.
    if (m_seenOnce && current && current != m_lastSeen) {
        outcome.editedCopy = keepEditedCopy(*current, savedAt);
        if (outcome.editedCopy.empty()) {
            outcome.editedCopyFailed = true;
            return outcome;
        }
        m_lastSeen = current; // kept: a failed save below must not copy it again
    }
    const std::string text = renderOver(current.value_or(""), settings, savedAt);
    outcome.saved = replaceFileContents(m_path, text, &outcome.failure);
    if (outcome.saved) {
        m_seenOnce = true;
        m_lastSeen = text;
    }
    return outcome;
}

std::string SettingsFile::keepEditedCopy(const std::string& text, DateTime savedAt) const {
    const std::size_t slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash);
    const std::string prefix = m_path.substr(slash + 1) + ".edited-";
    const std::string name = prefix + compactTimestamp(savedAt);
    if (!replaceFileContents(folder + "/" + name, text))
        return "";
    std::vector<std::string> copies;
    for (std::string& entry : folderEntries(folder))
        if (entry.starts_with(prefix))
            copies.push_back(std::move(entry));
    std::sort(copies.begin(), copies.end());
    for (std::size_t i = 0; i + keptEditedCopies < copies.size(); ++i)
        removeFile(folder + "/" + copies[i]);
    return name;
}

int findDeviceLine(const std::vector<std::string>& lines, const std::string& name, int fallback) {
    const auto upper = [](std::string text) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return text;
    };
    const std::string wanted = upper(name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (upper(lines[i]) == wanted)
            return static_cast<int>(i);
    }
    return fallback;
}

} // namespace quietmon

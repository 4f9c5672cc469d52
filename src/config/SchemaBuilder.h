#pragma once

#include "config/Settings.h"
#include "config/SettingsSchema.h"

#include <functional>
#include <string>
#include <vector>

namespace quietmon {

// Adds the keys of the settings file to the schema, each in the section last named, in the order a save
// writes them.
class SchemaBuilder {
public:
    explicit SchemaBuilder(std::vector<KeySpec>& keys) : m_keys(keys) {}

    SchemaBuilder& section(std::string name) {
        m_section = std::move(name);
        return *this;
    }
    SchemaBuilder& boolean(std::string key, std::function<bool&(Settings&)> field,
                           KeyRole role = KeyRole::Setting) {
        return add({m_section, std::move(key), ValueType::Bool, role, std::move(field)});
    }
    SchemaBuilder& integer(std::string key, std::function<int&(Settings&)> field,
                           KeyRole role = KeyRole::Setting) {
        return add({m_section, std::move(key), ValueType::Integer, role, std::move(field)});
    }
    SchemaBuilder& number(std::string key, std::function<int&(Settings&)> field, int min, int max,
                          KeyRole role = KeyRole::Setting) {
        return add({m_section, std::move(key), ValueType::Integer, role, std::move(field), LoadRule::Clamp,
                    min, max});
    }
    SchemaBuilder& list(std::string key, std::function<int&(Settings&)> field, int lines) {
        return add({m_section, std::move(key), ValueType::Integer, KeyRole::Setting, std::move(field),
                    LoadRule::ListIndex, 0, lines});
    }
    // A named choice whose options are listed in the order of the enum `Choice`.
    template <typename Choice>
    SchemaBuilder& choice(std::string key, std::function<std::optional<Choice>&(Settings&)> field,
                          int options) {
        ChoiceLine line{[field](Settings& s) {
                            const std::optional<Choice>& value = field(s);
                            return value ? static_cast<int>(*value) : -1;
                        },
                        [field](Settings& s, int index) {
                            field(s) = index < 0 ? std::nullopt : std::optional(static_cast<Choice>(index));
                        }};
        return add({m_section, std::move(key), ValueType::Integer, KeyRole::Setting, std::move(line),
                    LoadRule::ListIndex, 0, options});
    }
    // The option `option` of a named choice, kept as a flag.
    template <typename Choice>
    SchemaBuilder& optionFlag(std::string key, std::function<std::optional<Choice>&(Settings&)> field,
                              Choice option) {
        OptionFlag flag{[field, option](Settings& s) { return field(s) == option; },
                        [field, option](Settings& s, bool chosen) {
                            if (chosen)
                                field(s) = option;
                            else if (field(s) == option)
                                field(s) = std::nullopt;
                        }};
        return add({m_section, std::move(key), ValueType::Bool, KeyRole::Setting, std::move(flag)});
    }
    SchemaBuilder& text(std::string key, std::function<std::string&(Settings&)> field,
                        KeyRole role = KeyRole::Setting) {
        return add({m_section, std::move(key), ValueType::String, role, std::move(field)});
    }
    SchemaBuilder& scrambled(std::string key, std::function<std::string&(Settings&)> field) {
        return add(
            {m_section, std::move(key), ValueType::ScrambledString, KeyRole::Setting, std::move(field)});
    }
    SchemaBuilder& time(std::string key, std::function<TimeOfDay&(Settings&)> field) {
        return add({m_section, std::move(key), ValueType::Time, KeyRole::Setting, std::move(field)});
    }
    SchemaBuilder& moment(std::string key, std::function<DateTime&(Settings&)> field, KeyRole role) {
        return add({m_section, std::move(key), ValueType::DateTime, role, std::move(field)});
    }
    SchemaBuilder& saveTime(std::string key) {
        return add({m_section, std::move(key), ValueType::DateTime, KeyRole::WriteOnly, {}});
    }
    SchemaBuilder& add(KeySpec spec) {
        m_keys.push_back(std::move(spec));
        return *this;
    }

private:
    std::vector<KeySpec>& m_keys;
    std::string m_section;
};

// The settings of `kind` in `queue`, for the fields of its keys.
template <TaskKind kind> auto settingsOfKind(QueueKind queue) {
    return [queue](Settings& s) -> KindSettings<kind>& { return s.queue(queue).template of<kind>(); };
}

} // namespace quietmon

#include "config/SettingsSchema.h"

namespace quietmon {

namespace {

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

// Each queue's settings under the file's names for its sections.
struct QueueSections {
    TaskQueueSettings Settings::*queue;
    const char* email;
    const char* kill;
    const char* query;
    const char* screenshot;
    const char* open;
    const char* delay;
    int longestDelaySeconds;
    const char* rows;
    int rowCount;
};
// The alarm queue first: a save writes each pair of sections in this order.
constexpr QueueSections queues[] = {
    {&Settings::alarmQueue, "Email", "Kill", "Query", "Screenshot", "Open1", "Delay", 3600, "Tasks",
     Settings::alarmQueueRows},
    {&Settings::returnQueue, "RetEmail", "RetKill", "RetQuery", "RetScreenshot", "RetOpen", "RetDelay", 30,
     "RetTasks", Settings::returnQueueRows},
};
constexpr const QueueSections& alarmSections = queues[0];
constexpr const QueueSections& returnSections = queues[1];

// The field `section` of the queue `queue`.
template <typename Section>
auto sectionOf(TaskQueueSettings Settings::*queue, Section TaskQueueSettings::*section) {
    return [queue, section](Settings& s) -> Section& { return (s.*queue).*section; };
}

void addEmail(SchemaBuilder& b, const std::string& section, TaskQueueSettings Settings::*queue) {
    const auto email = sectionOf(queue, &TaskQueueSettings::email);
    b.section(section)
        .text(
            "From", [email](Settings & s) -> auto& { return email(s).from; })
        .text(
            "To", [email](Settings & s) -> auto& { return email(s).to; })
        .text(
            "Subject", [email](Settings & s) -> auto& { return email(s).subject; })
        .text(
            "Message", [email](Settings & s) -> auto& { return email(s).message; })
        // Both sections carry the alarm message here, as the file always has.
        .text(
            "ReturnMessage", [](Settings & s) -> auto& { return s.alarmQueue.email.message; },
            KeyRole::WriteOnly)
        .text(
            "SMTP", [email](Settings & s) -> auto& { return email(s).smtp; })
        .text(
            "File", [email](Settings & s) -> auto& { return email(s).file; })
        .text(
            "Username", [email](Settings & s) -> auto& { return email(s).username; })
        .scrambled(
            "Password", [email](Settings & s) -> auto& { return email(s).password; })
        .boolean(
            "Authentization", [email](Settings & s) -> auto& { return email(s).authenticate; })
        .boolean(
            "SSL", [email](Settings & s) -> auto& { return email(s).ssl; })
        .text(
            "TrustedCertificate", [email](Settings & s) -> auto& { return email(s).trustedCertificate; })
        .boolean(
            "AttachLevelGraph", [email](Settings & s) -> auto& { return email(s).attachLevelGraph; })
        .boolean(
            "AttachAudioClip", [email](Settings & s) -> auto& { return email(s).attachAudioClip; });
}

void addKill(SchemaBuilder& b, const std::string& section, TaskQueueSettings Settings::*queue) {
    const auto kill = sectionOf(queue, &TaskQueueSettings::kill);
    b.section(section);
    for (std::size_t index = 0; index < KillSettings{}.applications.size(); ++index) {
        const std::string number = std::to_string(index + 1);
        b.text(
             "Title" + number,
             [ kill, index ](Settings & s) -> auto& { return kill(s).applications[index].title; })
            .text(
                "Class" + number,
                [ kill, index ](Settings & s) -> auto& { return kill(s).applications[index].windowClass; });
    }
}

void addQuery(SchemaBuilder& b, const std::string& section, TaskQueueSettings Settings::*queue) {
    const auto query = sectionOf(queue, &TaskQueueSettings::query);
    b.section(section)
        .text(
            "Address", [query](Settings & s) -> auto& { return query(s).address; })
        .text(
            "Query", [query](Settings & s) -> auto& { return query(s).query; });
}

void addScreenshot(SchemaBuilder& b, const std::string& section, TaskQueueSettings Settings::*queue) {
    const auto shot = sectionOf(queue, &TaskQueueSettings::screenshot);
    b.section(section)
        .text(
            "File", [shot](Settings & s) -> auto& { return shot(s).file; })
        .boolean(
            "DeactivateScrSaver", [shot](Settings & s) -> auto& { return shot(s).deactivateScreenSaver; });
}

void addOpen(SchemaBuilder& b, const std::string& section, std::function<OpenSettings&(Settings&)> open) {
    b.section(section);
    for (int i = 0; i < 3; ++i)
        b.text(
            "File" + std::to_string(i + 1), [ open, i ](Settings & s) -> auto& { return open(s).files[i]; });
    for (int i = 0; i < 3; ++i)
        b.text(
            "Params" + std::to_string(i + 1),
            [ open, i ](Settings & s) -> auto& { return open(s).params[i]; });
}

std::vector<KeySpec> buildSchema() {
    std::vector<KeySpec> keys;
    SchemaBuilder b(keys);
    constexpr auto state = KeyRole::State;

    b.section("General")
        .integer(
            "Top", [](Settings & s) -> auto& { return s.state.top; }, state)
        .integer(
            "Left", [](Settings & s) -> auto& { return s.state.left; }, state)
        .boolean(
            "Visible", [](Settings & s) -> auto& { return s.state.visible; }, state)
        .number(
            "Threshold", [](Settings & s) -> auto& { return s.state.threshold; }, 0, 96, state);

    b.section("Activation")
        .boolean(
            "Condition2", [](Settings & s) -> auto& { return s.activation.weekdayConditionOn; })
        .boolean(
            "Condition3", [](Settings & s) -> auto& { return s.activation.timeConditionOn; })
        .boolean(
            "Condition4", [](Settings & s) -> auto& { return s.activation.windowConditionOn; })
        .boolean(
            "BreakQueue", [](Settings & s) -> auto& { return s.activation.breakQueue; })
        .choice<ChannelRule>(
            "Channels", [](Settings & s) -> auto& { return s.activation.channels; }, 4);
    static const char* const weekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                           "Friday", "Saturday", "Sunday"};
    for (int day = 0; day < 7; ++day)
        b.boolean(
            weekdays[day], [day](Settings & s) -> auto& { return s.activation.weekdays[day]; });
    b.number(
         "Silence", [](Settings & s) -> auto& { return s.activation.silenceSeconds; }, 1, 3600)
        .number(
            "Return", [](Settings & s) -> auto& { return s.activation.returnSeconds; }, 0, 3600)
        .choice<Comparison>(
            "TimeOperator", [](Settings & s) -> auto& { return s.activation.timeComparison; }, 2)
        .choice<Comparison>(
            "DayOperator", [](Settings & s) -> auto& { return s.activation.dayComparison; }, 2)
        .choice<Comparison>(
            "WindowOperator", [](Settings & s) -> auto& { return s.activation.windowComparison; }, 2)
        .choice<Combination>(
            "AlarmOperator", [](Settings & s) -> auto& { return s.activation.timeAndDayCombination; }, 2)
        .choice<WindowMatch>(
            "TitleClass", [](Settings & s) -> auto& { return s.activation.windowMatch; }, 2)
        .time(
            "Time1", [](Settings & s) -> auto& { return s.activation.timeFrom; })
        .time(
            "Time2", [](Settings & s) -> auto& { return s.activation.timeTo; })
        .text(
            "Window", [](Settings & s) -> auto& { return s.activation.window; });

    for (const QueueSections& queue : queues)
        addEmail(b, queue.email, queue.queue);
    for (const QueueSections& queue : queues)
        addKill(b, queue.kill, queue.queue);

    b.section("Port")
        .list(
            "COMPort", [](Settings & s) -> auto& { return s.port.portLine; }, 255)
        .choice<SerialPin>(
            "Pin", [](Settings & s) -> auto& { return s.port.pin; }, 2)
        .number(
            "For", [](Settings & s) -> auto& { return s.port.forSeconds; }, 1, 10)
        .optionFlag<PinHold>(
            "Limited", [](Settings & s) -> auto& { return s.port.hold; }, PinHold::ForSeconds)
        .optionFlag<PinHold>(
            "Full", [](Settings & s) -> auto& { return s.port.hold; }, PinHold::UntilReturn)
        .optionFlag<PinHold>(
            "Forever", [](Settings & s) -> auto& { return s.port.hold; }, PinHold::Forever)
        .text(
            "Device", [](Settings & s) -> auto& { return s.port.device; });

    for (const QueueSections& queue : queues)
        addQuery(b, queue.query, queue.queue);
    for (const QueueSections& queue : queues)
        addScreenshot(b, queue.screenshot, queue.queue);
    addOpen(b, alarmSections.open, sectionOf(alarmSections.queue, &TaskQueueSettings::open));
    addOpen(
        b, "Open2", [](Settings & s) -> auto& { return s.open2; });
    addOpen(b, returnSections.open, sectionOf(returnSections.queue, &TaskQueueSettings::open));

    b.section("General")
        .text(
            "Title", [](Settings & s) -> auto& { return s.general.title; })
        .text(
            "LeftName", [](Settings & s) -> auto& { return s.general.leftName; })
        .text(
            "RightName", [](Settings & s) -> auto& { return s.general.rightName; });

    b.section("Speak").text(
        "Text", [](Settings & s) -> auto& { return s.speakText; });
    b.section("Repeat")
        .number(
            "FromLine", [](Settings & s) -> auto& { return s.repeatFromLine; }, 1, 32)
        .number(
            "Maximum", [](Settings & s) -> auto& { return s.repeatMaximum; }, 1, 999);
    for (const QueueSections& queue : queues)
        b.section(queue.delay)
            .number("Delay", sectionOf(queue.queue, &TaskQueueSettings::delaySeconds), 1,
                    queue.longestDelaySeconds);

    b.section("Reboot")
        .boolean(
            "Reboot", [](Settings & s) -> auto& { return s.state.rebooting; }, state)
        .optionFlag<RebootKind>(
            "DoReboot", [](Settings & s) -> auto& { return s.reboot.kind; }, RebootKind::Reboot)
        .optionFlag<RebootKind>(
            "DoShutdown", [](Settings & s) -> auto& { return s.reboot.kind; }, RebootKind::Shutdown);

    b.section("General")
        .boolean("Alarm", [](Settings& s) -> auto& {
        return s.state.alarmActive; }, state)
        .saveTime("DateTime")
        .add({"General", "LastTask", ValueType::Integer, state, [](Settings& s) -> auto& { return s.state.lastTask;
}
, LoadRule::QueuePosition, 1, 32
} // namespace
)
        .number("Repeats", [](Settings& s) -> auto& {
    return s.state.repeatCount; }, 0, 99999, state);

for (const QueueSections& queue : queues) {
    b.section(queue.rows);
    const auto rows = sectionOf(queue.queue, &TaskQueueSettings::rows);
    for (int row = 0; row < queue.rowCount; ++row)
        b.text(
            "Task" + std::to_string(row + 1),
            [ rows, row ](Settings & s) -> auto& { return rows(s)[static_cast<std::size_t>(row)]; });
}

b.section("General")
    .boolean(
        "IdlePriority", [](Settings& s) -> auto& { return s.general.idlePriority; })
    .boolean(
        "UseSystemFont", [](Settings& s) -> auto& { return s.general.useSystemFont; })
    .boolean(
        "AlwaysOnTop", [](Settings& s) -> auto& { return s.general.alwaysOnTop; })
    .boolean(
        "LockTrackbar", [](Settings& s) -> auto& { return s.general.lockTrackbar; })
    .boolean(
        "LogEvents", [](Settings& s) -> auto& { return s.general.logEvents; })
    .boolean(
        "DCFilter", [](Settings& s) -> auto& { return s.general.dcFilter; })
    .boolean(
        "InternalPlayer", [](Settings& s) -> auto& { return s.general.internalPlayer; })
    .boolean(
        "StopPlayer", [](Settings& s) -> auto& { return s.general.stopPlayer; })
    .number(
        "StartUpDelay", [](Settings& s) -> auto& { return s.general.startUpDelay; }, 0, 3600)
    .number(
        "PeakHoldTime", [](Settings& s) -> auto& { return s.general.peakHoldTime; }, 100, 10000)
    .number(
        "MinThreshold", [](Settings& s) -> auto& { return s.general.minThreshold; }, -96, -6)
    .integer(
        "AudioInDevice", [](Settings& s) -> auto& { return s.general.audioInDevice; })
    .text(
        "AudioInDeviceName", [](Settings& s) -> auto& { return s.general.audioInDeviceName; })
    .choice<StartUpStatus>(
        "StartUpStatus", [](Settings& s) -> auto& { return s.general.startUpStatus; }, 3)
    .scrambled(
        "SetupPassword", [](Settings& s) -> auto& { return s.general.setupPassword; })
    .text(
        "StatusAddress", [](Settings& s) -> auto& { return s.general.statusAddress; })
    .text(
        "StatusToken", [](Settings& s) -> auto& { return s.general.statusToken; })
    .text(
        "StreamAddress", [](Settings& s) -> auto& { return s.general.streamAddress; })
    .moment(
        "LastSilence", [](Settings& s) -> auto& { return s.state.lastSilence; }, state);
return keys;
} // namespace quietmon

} // namespace

const std::vector<KeySpec>& settingsSchema() {
    static const std::vector<KeySpec> schema = buildSchema();
    return schema;
}

} // namespace quietmon

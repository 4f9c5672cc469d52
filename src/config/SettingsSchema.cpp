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

void addEmail(SchemaBuilder& b, const std::string& section, EmailSettings Settings::*email) {
    b.section(section)
        .text(
            "From", [email](Settings & s) -> auto& { return (s.*email).from; })
        .text(
            "To", [email](Settings & s) -> auto& { return (s.*email).to; })
        .text(
            "Subject", [email](Settings & s) -> auto& { return (s.*email).subject; })
        .text(
            "Message", [email](Settings & s) -> auto& { return (s.*email).message; })
        // Both sections carry the alarm message here, as the file always has.
        .text(
            "ReturnMessage", [](Settings & s) -> auto& { return s.email.message; }, KeyRole::WriteOnly)
        .text(
            "SMTP", [email](Settings & s) -> auto& { return (s.*email).smtp; })
        .text(
            "File", [email](Settings & s) -> auto& { return (s.*email).file; })
        .text(
            "Username", [email](Settings & s) -> auto& { return (s.*email).username; })
        .scrambled(
            "Password", [email](Settings & s) -> auto& { return (s.*email).password; })
        .boolean(
            "Authentization", [email](Settings & s) -> auto& { return (s.*email).authentization; })
        .boolean(
            "SSL", [email](Settings & s) -> auto& { return (s.*email).ssl; })
        .text(
            "TrustedCertificate", [email](Settings & s) -> auto& { return (s.*email).trustedCertificate; });
}

void addKill(SchemaBuilder& b, const std::string& section, KillSettings Settings::*kill) {
    b.section(section)
        .text(
            "Title1", [kill](Settings & s) -> auto& { return (s.*kill).title1; })
        .text(
            "Class1", [kill](Settings & s) -> auto& { return (s.*kill).class1; })
        .text(
            "Title2", [kill](Settings & s) -> auto& { return (s.*kill).title2; })
        .text(
            "Class2", [kill](Settings & s) -> auto& { return (s.*kill).class2; });
}

void addQuery(SchemaBuilder& b, const std::string& section, QuerySettings Settings::*query) {
    b.section(section)
        .text(
            "Address", [query](Settings & s) -> auto& { return (s.*query).address; })
        .text(
            "Query", [query](Settings & s) -> auto& { return (s.*query).query; });
}

void addScreenshot(SchemaBuilder& b, const std::string& section, ScreenshotSettings Settings::*shot) {
    b.section(section)
        .text(
            "File", [shot](Settings & s) -> auto& { return (s.*shot).file; })
        .boolean(
            "DeactivateScrSaver", [shot](Settings & s) -> auto& { return (s.*shot).deactivateScrSaver; });
}

void addOpen(SchemaBuilder& b, const std::string& section, OpenSettings Settings::*open) {
    b.section(section);
    for (int i = 0; i < 3; ++i)
        b.text(
            "File" + std::to_string(i + 1),
            [ open, i ](Settings & s) -> auto& { return (s.*open).files[i]; });
    for (int i = 0; i < 3; ++i)
        b.text(
            "Params" + std::to_string(i + 1),
            [ open, i ](Settings & s) -> auto& { return (s.*open).params[i]; });
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
            "Condition2", [](Settings & s) -> auto& { return s.activation.condition2; })
        .boolean(
            "Condition3", [](Settings & s) -> auto& { return s.activation.condition3; })
        .boolean(
            "Condition4", [](Settings & s) -> auto& { return s.activation.condition4; })
        .boolean(
            "BreakQueue", [](Settings & s) -> auto& { return s.activation.breakQueue; })
        .list(
            "Channels", [](Settings & s) -> auto& { return s.activation.channels; }, 4);
    static const char* const weekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                           "Friday", "Saturday", "Sunday"};
    for (int day = 0; day < 7; ++day)
        b.boolean(
            weekdays[day], [day](Settings & s) -> auto& { return s.activation.weekdays[day]; });
    b.number(
         "Silence", [](Settings & s) -> auto& { return s.activation.silence; }, 1, 3600)
        .number(
            "Return", [](Settings & s) -> auto& { return s.activation.returnSeconds; }, 0, 3600)
        .list(
            "TimeOperator", [](Settings & s) -> auto& { return s.activation.timeOperator; }, 2)
        .list(
            "DayOperator", [](Settings & s) -> auto& { return s.activation.dayOperator; }, 2)
        .list(
            "WindowOperator", [](Settings & s) -> auto& { return s.activation.windowOperator; }, 2)
        .list(
            "AlarmOperator", [](Settings & s) -> auto& { return s.activation.alarmOperator; }, 2)
        .list(
            "TitleClass", [](Settings & s) -> auto& { return s.activation.titleClass; }, 2)
        .time(
            "Time1", [](Settings & s) -> auto& { return s.activation.time1; })
        .time(
            "Time2", [](Settings & s) -> auto& { return s.activation.time2; })
        .text(
            "Window", [](Settings & s) -> auto& { return s.activation.window; });

    addEmail(b, "Email", &Settings::email);
    addEmail(b, "RetEmail", &Settings::retEmail);
    addKill(b, "Kill", &Settings::kill);
    addKill(b, "RetKill", &Settings::retKill);

    b.section("Port")
        .list(
            "COMPort", [](Settings & s) -> auto& { return s.port.comPort; }, 255)
        .list(
            "Pin", [](Settings & s) -> auto& { return s.port.pin; }, 2)
        .number(
            "For", [](Settings & s) -> auto& { return s.port.forSeconds; }, 1, 10)
        .boolean(
            "Limited", [](Settings & s) -> auto& { return s.port.limited; })
        .boolean(
            "Full", [](Settings & s) -> auto& { return s.port.full; })
        .boolean(
            "Forever", [](Settings & s) -> auto& { return s.port.forever; })
        .text(
            "Device", [](Settings & s) -> auto& { return s.port.device; });

    addQuery(b, "Query", &Settings::query);
    addQuery(b, "RetQuery", &Settings::retQuery);
    addScreenshot(b, "Screenshot", &Settings::screenshot);
    addScreenshot(b, "RetScreenshot", &Settings::retScreenshot);
    addOpen(b, "Open1", &Settings::open1);
    addOpen(b, "Open2", &Settings::open2);
    addOpen(b, "RetOpen", &Settings::retOpen);

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
    b.section("Delay").number(
        "Delay", [](Settings & s) -> auto& { return s.delaySeconds; }, 1, 3600);
    b.section("RetDelay")
        .number(
            "Delay", [](Settings & s) -> auto& { return s.retDelaySeconds; }, 1, 30);

    b.section("Reboot")
        .boolean(
            "Reboot", [](Settings & s) -> auto& { return s.state.rebooting; }, state)
        .boolean(
            "DoReboot", [](Settings & s) -> auto& { return s.reboot.doReboot; })
        .boolean(
            "DoShutdown", [](Settings & s) -> auto& { return s.reboot.doShutdown; });

    b.section("General")
        .boolean("Alarm", [](Settings& s) -> auto& {
        return s.state.alarm; }, state)
        .saveTime("DateTime")
        .add({"General", "LastTask", ValueType::Integer, state, [](Settings& s) -> auto& { return s.state.lastTask;
}
, LoadRule::QueuePosition, 1, 32
} // namespace
)
        .number("Repeats", [](Settings& s) -> auto& {
    return s.state.repeats; }, 0, 99999, state);

b.section("Tasks");
for (int row = 0; row < Settings::alarmQueueRows; ++row)
    b.text(
        "Task" + std::to_string(row + 1), [row](Settings& s) -> auto& { return s.tasks[row]; });
b.section("RetTasks");
for (int row = 0; row < Settings::returnQueueRows; ++row)
    b.text(
        "Task" + std::to_string(row + 1), [row](Settings& s) -> auto& { return s.retTasks[row]; });

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
    .list(
        "StartUpStatus", [](Settings& s) -> auto& { return s.general.startUpStatus; }, 3)
    .scrambled(
        "SetupPassword", [](Settings& s) -> auto& { return s.general.setupPassword; })
    .text(
        "StatusAddress", [](Settings& s) -> auto& { return s.general.statusAddress; })
    .text(
        "StatusToken", [](Settings& s) -> auto& { return s.general.statusToken; })
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

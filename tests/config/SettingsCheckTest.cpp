#include "config/SettingsCheck.h"

#include "config/NearestName.h"
#include "config/SettingsStore.h"
#include "config/taskkinds/EmailSettings.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Kind = SettingsWarning::Kind;

struct NearestCase {
    const char* name;
    std::vector<std::string> candidates;
    std::optional<std::string> expected;
};

TEST(NearestName, FindsTheNameMeantOrNothing) {
    const NearestCase cases[] = {
        {"Silense", {"Silence", "Return"}, "Silence"},
        {"Fro", {"Top", "For"}, "For"},                     // two neighbours swapped is one edit
        {"SEND EMAIL", {"Send email"}, "Send email"},       // case does not count
        {"Foo", {"Top", "Pin"}, std::nullopt},              // two edits are too many for three letters
        {"Frobnicate", {"General", "Email"}, std::nullopt}, // nothing near
        {"Time", {"Time1", "Time2"}, "Time1"},              // the first of equally near ones
    };
    for (const NearestCase& c : cases)
        EXPECT_EQ(nearestName(c.name, c.candidates), c.expected) << c.name;
}

struct CheckCase {
    const char* file;
    std::size_t line;
    Kind kind;
    const char* message;
};

// Each file has one thing that will not do what its writer meant; the values said to be used are the
// loader's (defaults for what does not parse, range ends for what is outside).
const CheckCase checkCases[] = {
    {"[Activaton]\nSilence=10\n", 1, Kind::UnknownSection,
     "[Activaton] is not a section the monitor reads; did you mean [Activation]?"},
    {"[Frobnicate]\nSilence=10\n", 1, Kind::UnknownSection,
     "[Frobnicate] is not a section the monitor reads: its keys are ignored"},
    {"[Activation]\nSilense=10\n", 2, Kind::UnknownKey,
     "Silense is not a key of [Activation]; did you mean Silence?"},
    {"[General]\nSilence=10\n", 2, Kind::UnknownKey,
     "Silence is not a key of [General]: it belongs in [Activation]"},
    {"[Activation]\nDelay=3\n", 2, Kind::UnknownKey,
     "Delay is not a key of [Activation]: it belongs in [Delay] or [RetDelay]"},
    {"[Activation]\nWibble=1\n", 2, Kind::UnknownKey, "Wibble is not a key of [Activation]: it is ignored"},
    {"[General]\nLogEvents=yes\n", 2, Kind::UnparsableValue,
     "LogEvents=yes is not a whole number: 0 is used instead"},
    {"[Activation]\nChannels=both\n", 2, Kind::UnparsableValue,
     "Channels=both is not a whole number: 0 is used instead"},
    {"[General]\nStartUpDelay=abc\n", 2, Kind::UnparsableValue,
     "StartUpDelay=abc is not a whole number: 30 is used instead"},
    {"[Activation]\nTime1=25:00\n", 2, Kind::UnparsableValue,
     "Time1=25:00 is not a time of day (hh:mm:ss): 00:00:00 is used instead"},
    {"[Activation]\nSilence=0\n", 2, Kind::OutOfRange, "Silence=0 is outside 1 to 3600: 1 is used instead"},
    {"[General]\nMinThreshold=-120\n", 2, Kind::OutOfRange,
     "MinThreshold=-120 is outside -96 to -6: -96 is used instead"},
    {"[General]\nLastTask=50\n", 2, Kind::OutOfRange, "LastTask=50 is outside 1 to 32: 32 is used instead"},
    {"[General]\nRepeats=-1000000\n", 2, Kind::OutOfRange,
     "Repeats=-1000000 is outside 0 to 99999: 0 is used instead"},
    {"[Port]\nCOMPort=300\n", 2, Kind::OutOfRange,
     "COMPort=300 is not one of the choices 0 to 254: nothing is chosen (saved as -1)"},
    {"[Tasks]\nTask1=Send Email\n", 2, Kind::UnknownTask,
     "Task1=Send Email names no alarm task: task names are case-sensitive; did you mean Send email?"},
    {"[Tasks]\nTask2=Send mail\n", 2, Kind::UnknownTask,
     "Task2=Send mail names no alarm task; did you mean Send email?"},
    {"[Tasks]\nTask3=Make coffee\n", 2, Kind::UnknownTask,
     "Task3=Make coffee names no alarm task: the row does nothing"},
    {"[Tasks]\nTask4=Open/Play\n", 2, Kind::UnknownTask,
     "Task4=Open/Play is not an alarm task; did you mean Open/Play 1?"},
    {"[RetTasks]\nTask1=Open/Play 1\n", 2, Kind::UnknownTask,
     "Task1=Open/Play 1 is not a return task; did you mean Open/Play?"},
    {"[RetTasks]\nTask1=Reboot system\n", 2, Kind::UnknownTask,
     "Task1=Reboot system is not a return task: the row does nothing"},
    {"[General\nTop=5\n", 1, Kind::UnclosedHeader, "[General has no closing ]: it is read as [General]"},
    {"[Activation]\nSilence=10\n\nsilence=20\n", 4, Kind::RepeatedKey,
     "silence repeats line 2: the value on line 2 counts, this one is ignored"},
    {"[General]\nTop=1\n[Activation]\n[general]\nLeft=5\n", 4, Kind::RepeatedSection,
     "[general] repeats line 1: only the first [General] is read, the keys under this one are ignored"},
    {"[Email]\nPassword=secret\n", 2, Kind::PlainPassword,
     "Password is not in the scrambled form the monitor stores, so it is read as other characters: type the "
     "password in the Setup dialog instead"},
    {"[General]\nSetupPassword=jhkji\n", 2, Kind::PlainPassword, // scrambled, but cut short by one letter
     "SetupPassword is not in the scrambled form the monitor stores, so it is read as other characters: type "
     "the password in the Setup dialog instead"},
    {"[RetEmail]\nTrustedCertificate=AB:CD\n", 2, Kind::UnparsableValue,
     "TrustedCertificate is not a SHA-256 fingerprint (64 hexadecimal digits, as \"openssl x509 -noout "
     "-fingerprint -sha256\" prints them): no certificate is trusted by it, only those the system trusts"},
    {"[Email]\nSMTP=mail.example.org:587\nAuthentization=1\n", 3, Kind::ExposedSecret,
     "[Email] logs in with SSL=0: the user name and password travel unencrypted; set SSL=1 (STARTTLS) or use "
     "port 465"},
    {"[General]\nStatusToken=guessable\nStatusAddress=0.0.0.0:9823\n", 3, Kind::StatusEndpoint,
     "the status endpoint is not started: StatusAddress 0.0.0.0:9823 can be reached from other computers and "
     "StatusToken is shorter than 16 characters"},
    {"[General]\nStreamAddress=concat:/etc/passwd|x\n", 2, Kind::UnparsableValue,
     "StreamAddress=concat:/etc/passwd|x is not read: only http:// and https:// addresses are read"},
    {"[General]\nLastSilence=2026-02-30 03:05:09\n", 2, Kind::UnparsableValue,
     "LastSilence=2026-02-30 03:05:09 is not a date and time (yyyy-mm-dd hh:nn:ss): none is used instead"},
    {"Top=1\n[General]\n", 1, Kind::StrayLine, "Top comes before any [section]: it is ignored"},
    {"[Activation]\nSilence 300\n", 2, Kind::StrayLine,
     "this line is no [section] header, key=value line or ; comment: it is ignored"},
    // Lines are counted as the reader splits them: after a byte-order mark, at CR LF, LF and lone CR.
    {"\xEF\xBB\xBF[General]\r\nTop=1\rLeft=x\n", 3, Kind::UnparsableValue,
     "Left=x is not a whole number: 100 is used instead"},
};

TEST(SettingsCheck, SaysWhatWillNotDoWhatItsWriterMeant) {
    for (const CheckCase& c : checkCases) {
        const SettingsCheck check(IniFile::parse(c.file));
        ASSERT_EQ(check.warnings().size(), 1u) << c.file;
        const SettingsWarning& warning = check.warnings().front();
        EXPECT_EQ(warning.line, c.line) << c.file;
        EXPECT_EQ(warning.kind, c.kind) << c.file;
        EXPECT_EQ(warning.message, c.message) << c.file;
    }
}

TEST(SettingsCheck, AValueCutOnReadingIsReported) {
    const SettingsCheck check(IniFile::parse("[Speak]\nText=" + std::string(2048, 'a') + "\n"));
    ASSERT_EQ(check.warnings().size(), 1u);
    EXPECT_EQ(check.warnings()[0].message, "Text is 2048 characters long: only the first 2047 are read");
}

TEST(SettingsCheck, AFileTheMonitorSavedHasNothingToReport) {
    Settings settings = defaultSettings("Orvane Silence Detector");
    settings.alarmQueue.of<TaskKind::SendEmail>().password = "secret";
    settings.alarmQueue.rows[0] = "Send email";
    settings.returnQueue.rows[0] = "Open/Play";
    settings.state.lastSilence = DateTime::fromParts(2025, 12, 31, 23, 59, 58);
    IniFile file;
    writeSettings(file, settings, DateTime::fromParts(2026, 1, 1));
    EXPECT_TRUE(SettingsCheck(file).warnings().empty());
}

TEST(SettingsCheck, HandWrittenFormsTheReaderTakesAsMeantAreFine) {
    const SettingsCheck check(
        IniFile::parse("; a comment\n# another\n\n[general]\n  Threshold = 0x20 \n"
                       ";Silence=5 kept for later\nTitle=\"Studio A\"\nLastTask=0\nRepeats=99999\n"
                       "Visible=2\n[Activation]\nTime1=7:05\nChannels=-1\nSilence=$10\n"
                       "[Email]\nPassword=jhkjii\nAuthentization=1\nSSL=1\n"
                       "TrustedCertificate=sha256 "
                       "Fingerprint=0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:"
                       "Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc:0a:Bc\n"
                       "[RetEmail]\nSMTP=mail:465\nAuthentization=1\n"
                       "[Tasks]\nTask1=Repeat\nTask2=\n"));
    for (const SettingsWarning& warning : check.warnings())
        ADD_FAILURE() << warning.line << ": " << warning.message;
}

} // namespace
} // namespace quietmon

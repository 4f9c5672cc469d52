// Feeds arbitrary bytes to the settings-file check and holds it to what the monitor does with them:
// every warning names a line of the file, and once the monitor has saved over the file, nothing it
// loaded can be reported as unreadable, out of range, cut or unscrambled any more.
#include "config/IniFile.h"
#include "config/SettingsCheck.h"
#include "config/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool isValueWarning(quietmon::SettingsWarning::Kind kind) {
    using Kind = quietmon::SettingsWarning::Kind;
    return kind == Kind::UnparsableValue || kind == Kind::OutOfRange || kind == Kind::ValueTooLong ||
           kind == Kind::PlainPassword;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quietmon;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::parse(bytes);
    const SettingsCheck check(file);
    const std::size_t lineCount = file.lines().size();
    for (const SettingsWarning& warning : check.warnings()) {
        if (warning.line < 1 || warning.line > lineCount || warning.message.empty())
            std::abort();
    }

    Settings settings = defaultSettings("Fuzz");
    loadWindowKeys(file, settings);
    loadSetupKeys(file, settings);
    writeSettings(file, settings, DateTime::fromParts(2026, 1, 1));
    const SettingsCheck afterSave(IniFile::parse(file.text()));
    for (const SettingsWarning& warning : afterSave.warnings()) {
        if (isValueWarning(warning.kind))
            std::abort();
    }
    return 0;
}

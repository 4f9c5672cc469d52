// Feeds arbitrary bytes to the settings-file reader, reads every key of the settings schema from the
// result, and checks that writing them back gives a document the reader takes again. A document read and
// not written is kept byte for byte, and no stored queue position or repeat count is taken as read when
// it could keep a resumed queue from ending.
#include "config/IniFile.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quietmon;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::parse(bytes);
    if (file.text() != bytes)
        std::abort();

    Settings settings = defaultSettings("Fuzz");
    loadWindowKeys(file, settings);
    loadSetupKeys(file, settings);
    if (settings.activation.silenceSeconds < 1 || settings.activation.silenceSeconds > 3600)
        std::abort();
    const std::optional<int> lastTask = settings.state.lastTask;
    if (lastTask && (*lastTask < 1 || *lastTask > 32))
        std::abort();
    if (settings.state.repeatCount < 0 || settings.state.repeatCount > 99999)
        std::abort();

    writeSettings(file, settings, DateTime::fromParts(2026, 1, 1));
    const IniFile again = IniFile::parse(file.text());
    Settings reloaded = defaultSettings("Fuzz");
    loadWindowKeys(again, reloaded);
    loadSetupKeys(again, reloaded);
    // Values a save wrote are read back as written.
    if (reloaded.activation.silenceSeconds != settings.activation.silenceSeconds ||
        reloaded.general.minThreshold != settings.general.minThreshold)
        std::abort();
    return 0;
}

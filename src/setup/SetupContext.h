#pragma once

#include "setup/BoundFields.h"

namespace quietmon {

class DesktopServices;
class FileDialogs;
class MessageBoxes;
class Monitor;
class WindowPicker;

// What the pages of the Setup dialog work with: the monitor's live settings, its task kinds (for the
// "Test" buttons) and its view, and the desktop's dialogs.
struct SetupContext {
    Monitor& monitor;
    MessageBoxes& messages;
    FileDialogs& files;
    DesktopServices& desktop;
    // Set once the window chooser exists: it is created after the Setup dialog.
    WindowPicker* windowPicker = nullptr;
    BoundFields fields;
};

} // namespace quietmon

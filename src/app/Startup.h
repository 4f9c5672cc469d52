#pragma once

namespace quietmon {

class MainWindow;
class Monitor;
class SetupDialog;

// The program's start, in its order, in one place: the widgets are created empty, then fed here, step by
// step, before the event loop runs. Nothing else starts monitoring.
//
//  1. the alarm state, the start-up moment, the folders and the window's own keys of the settings file;
//  2. the window's place, threshold, "Always on top" and font, from those keys;
//  3. the built-in mp3 player;
//  4. the audio devices listed, then every other key of the settings file read;
//  5. the window's title and tray icon;
//  6. the stored audio device chosen, the log opened, the device opened;
//  7. the settings applied to the window, the priority and the countdowns;
//  8. the start-up line and status (and a queue resumed after the program's own reboot);
//  9. the Setup dialog's pages, from the settings as loaded and applied;
// 10. the window shown, or only the tray icon, once the event loop runs.
void startUp(Monitor& monitor, MainWindow& window, SetupDialog& setup);

} // namespace quietmon

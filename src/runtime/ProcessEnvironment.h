#pragma once

#include <string>

namespace quietmon {

// Full path of the running executable, links resolved.
std::string executablePath();
// The user's base folder for application data ($XDG_DATA_HOME, else $HOME/.local/share); empty when the
// environment names neither.
std::string userDataBase();

} // namespace quietmon

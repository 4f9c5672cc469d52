#pragma once

#include <optional>
#include <string>

namespace quietmon {

// Message boxes, shown only for actions the operator started by hand.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with the text and an OK button.
    virtual void inform(const std::string& text) = 0;
    // A modal box with the text and the buttons Yes and No; whether Yes was chosen.
    virtual bool confirm(const std::string& text) = 0;
};

// The password dialog: the text typed, or nothing when the operator cancelled.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    virtual std::optional<std::string> askPassword() = 0;
};

enum class RebootAnswer { No, Yes, CountdownEnded };

// The countdown shown before the "Reboot system" task acts, in which a person at the computer can refuse.
class RebootPrompt {
public:
    virtual ~RebootPrompt() = default;
    virtual RebootAnswer askToReboot() = 0;
};

} // namespace quietmon

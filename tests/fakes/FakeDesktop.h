#pragma once

#include "platform/DesktopServices.h"
#include "platform/MessageBoxes.h"
#include "setup/FileDialogs.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quietmon::test {

// A desktop whose tray and mixer the test decides, recording what the program asked of it.
class FakeDesktop final : public DesktopServices {
public:
    bool trayAvailable() const override { return hasTray; }
    bool trayTogglesOnSingleClick() const override { return statusNotifierHost; }
    void setIdlePriority(bool idle) override { priorities.push_back(idle); }
    std::string mixerProgram() const override { return "pavucontrol"; }
    bool openMixer() override {
        ++mixerStarts;
        return mixerInstalled;
    }

    std::optional<std::string> openDocument(const std::string& pathOrUrl) override {
        openedDocuments.push_back(pathOrUrl);
        return openerFailure;
    }

    bool hasTray = true;
    bool statusNotifierHost = false;
    bool mixerInstalled = true;
    int mixerStarts = 0;
    std::vector<bool> priorities;
    std::vector<std::string> openedDocuments;
    std::optional<std::string> openerFailure; // why the opener could not be started, if it could not
};

class FakeMessageBoxes final : public MessageBoxes {
public:
    void inform(const std::string& text) override { shown.push_back(text); }
    bool confirm(const std::string& text) override {
        shown.push_back(text);
        return confirmAnswer;
    }
    std::vector<std::string> shown;
    bool confirmAnswer = false;
};

// Answers the file dialogs with the choices queued; nothing queued means Cancel.
class FakeFileDialogs final : public FileDialogs {
public:
    std::optional<std::string> chooseFileToOpen() override { return next(filesToOpen); }
    std::optional<ScreenshotFile> chooseScreenshotFile() override { return next(screenshotFiles); }

    std::deque<std::string> filesToOpen;
    std::deque<ScreenshotFile> screenshotFiles;

private:
    template <typename T> static std::optional<T> next(std::deque<T>& queue) {
        if (queue.empty())
            return std::nullopt;
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// Answers the password dialog with the texts queued; nothing queued means Cancel.
class FakePasswordPrompt final : public PasswordPrompt {
public:
    std::optional<std::string> askPassword() override {
        ++asked;
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<std::string>> answers;
    int asked = 0;
};

} // namespace quietmon::test

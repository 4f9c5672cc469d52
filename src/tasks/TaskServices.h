#pragma once

#include "config/Settings.h"
#include "config/TaskKinds.h"

#include <functional>
#include <string>

namespace quietmon {

class MessageBoxes;

// One interface per kind of task. The executors hand each the settings section of the queue it runs in;
// a task reports its own failures in the log. A kind the program does not have does nothing.

// "Send email". The conversation with the server runs on a worker, one send at a time in the order they
// were asked for, so the logic thread goes on meanwhile; the queue that asked waits for `finished`.
class EmailTask {
public:
    // What became of a test message: whether it was sent, and the fingerprint ("AB:CD:...") of a server
    // certificate the operator chose to trust when it was refused, to be stored with the page's settings.
    struct TestOutcome {
        bool sent = false;
        std::string certificateToTrust;
    };

    virtual ~EmailTask() = default;
    // Composes the message now and sends it in the background; `finished` runs on the logic thread once
    // the send has ended, however it ended (a failure is logged). It may run before this returns.
    virtual void sendEmail(const EmailSettings& settings, QueueKind queue,
                           std::function<void()> finished) = 0;
    // The "Test" button of the "Send email" page of `queue`: a fixed message with that page's connection
    // settings, sent in the background; the outcome is shown in a message box, a failure also logged,
    // and an untrusted certificate shown with the question whether to trust it. Then `finished` runs.
    virtual void sendTest(const EmailSettings& settings, QueueKind queue, MessageBoxes& messages,
                          std::function<void(const TestOutcome&)> finished) = 0;
};

// "Send HTTP query": hands the request to a worker and returns at once.
class HttpQueryTask {
public:
    virtual ~HttpQueryTask() = default;
    // `show`: the answer or the failure is shown in a message box (the Setup dialog's "Test" buttons).
    virtual void sendQuery(const QuerySettings& settings, bool show) = 0;
};

// "Save screenshot".
class ScreenshotTask {
public:
    virtual ~ScreenshotTask() = default;
    // Returns whether a file name was set (the return queue pauses after a capture that had one).
    virtual bool saveScreenshot(const ScreenshotSettings& settings) = 0;
};

// "Open/Play 1", "Open/Play 2", "Open/Play".
class OpenPlayTask {
public:
    virtual ~OpenPlayTask() = default;
    // Opens the three file and parameter pairs in order, from the program's folder.
    virtual void openFiles(const OpenSettings& settings) = 0;
    // The built-in mp3 player, stopped at the return when asked to.
    virtual void stopPlayerForReturn() = 0;
    // Creates the built-in mp3 player at start-up; whether it can be used.
    virtual bool createPlayer() = 0;
    // Lets a playing file end and releases the player, at the program's end.
    virtual void windDownPlayer() = 0;
};

// "Kill application": one application, by window title and class.
class KillTask {
public:
    virtual ~KillTask() = default;
    virtual void killApplication(const std::string& title, const std::string& windowClass) = 0;
};

// "Switch port pin", the release of a pin held until the return, and the port closed at exit.
class PortPinTask {
public:
    virtual ~PortPinTask() = default;
    virtual void switchPin(const PortSettings& settings) = 0;
    virtual void releasePortPin(int mode) = 0;
    virtual void closePort() = 0;
};

// "Speak".
class SpeechTask {
public:
    virtual ~SpeechTask() = default;
    virtual void speak(const std::string& text) = 0;
};

// "Reboot system".
class RebootTask {
public:
    virtual ~RebootTask() = default;
    virtual void reboot(const RebootSettings& settings) = 0;
};

// The task kinds this program has; a null one is a kind not available.
struct TaskServices {
    EmailTask* email = nullptr;
    HttpQueryTask* httpQuery = nullptr;
    ScreenshotTask* screenshot = nullptr;
    OpenPlayTask* openPlay = nullptr;
    KillTask* kill = nullptr;
    PortPinTask* portPin = nullptr;
    SpeechTask* speech = nullptr;
    RebootTask* reboot = nullptr;
};

} // namespace quietmon

#pragma once

#include "config/taskkinds/OpenPlaySettings.h"
#include "tasks/QueueTask.h"

namespace quietmon {

// "Open/Play 1", "Open/Play 2", "Open/Play", and the built-in mp3 player they share.
class OpenPlayTask : public QueueTask {
public:
    // Opens the three file and parameter pairs in order, from the program's folder.
    virtual void openFiles(const OpenSettings& settings) = 0;
    // The built-in mp3 player, stopped at the return when asked to.
    virtual void stopPlayerForReturn() = 0;
    // Creates the built-in mp3 player at start-up; whether it can be used.
    virtual bool createPlayer() = 0;
    // Lets a playing file end and releases the player, at the program's end.
    virtual void windDownPlayer() = 0;

    AfterRow run(const TaskRequest& request) final;
    void startUp(TaskStartUpOutcome& outcome) final;
    void atReturn(const Settings& settings) final;
    void windDown() final;

private:
    bool m_playerAvailable = false;
};

} // namespace quietmon

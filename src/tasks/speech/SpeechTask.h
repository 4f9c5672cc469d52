#pragma once

#include "config/taskkinds/SpeakSettings.h"
#include "tasks/QueueTask.h"

#include <string>

namespace quietmon {

// "Speak".
class SpeechTask : public QueueTask {
public:
    virtual void speak(const std::string& text) = 0;

    // The text with its placeholders expanded at this moment.
    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon

#pragma once

#include "config/taskkinds/PortPinSettings.h"
#include "tasks/QueueTask.h"

namespace quietmon {

// "Switch port pin", the release of a pin held until the return, and the port closed at exit.
class PortPinTask : public QueueTask {
public:
    virtual void switchPin(const PortSettings& settings) = 0;
    virtual void releasePortPin(int mode) = 0;
    virtual void closePort() = 0;

    AfterRow run(const TaskRequest& request) final;
    void atReturn(const Settings& settings) final;
    // A pin still held by the "until return" or "as long as possible" mode falls with the port.
    void atClose() final;
};

} // namespace quietmon

#include "config/Folders.h"
#include "monitor/Monitor.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/Mpg123Library.h"
#include "runtime/EventLoop.h"
#include "runtime/ProcessEnvironment.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/openplay/BuiltInMp3Player.h"
#include "tasks/openplay/OpenPlay.h"

namespace quietmon {

namespace {

// The three Open/Play kinds: the desktop's opener, and the built-in mp3 player over libmpg123.
class WiredOpenPlay final : public WiredTaskKind {
public:
    explicit WiredOpenPlay(TaskKindWiring& wiring)
        : m_player(wiring.loop, m_mp3Library),
          m_openPlay(m_shell, m_player, wiring.loop.clock(), wiring.monitor.settings(),
                     wiring.monitor.alarmState(), programFolderOf(executablePath()),
                     [&monitor = wiring.monitor](const std::string& text) { monitor.logEvent(text); }) {}
    QueueTask& task() override { return m_openPlay; }

private:
    Mpg123Library m_mp3Library;
    BuiltInMp3Player m_player;
    LinuxShell m_shell;
    OpenPlay m_openPlay;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::OpenPlay1>(TaskKindWiring& wiring) {
    return std::make_unique<WiredOpenPlay>(wiring);
}

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::OpenPlay2>(TaskKindWiring& wiring) {
    return sharingTaskOf(TaskKind::OpenPlay1, wiring);
}

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::OpenPlay>(TaskKindWiring& wiring) {
    return sharingTaskOf(TaskKind::OpenPlay1, wiring);
}

} // namespace quietmon

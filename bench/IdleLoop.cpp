// The program's event loop ticking at the buffer rate with nothing to do: what waking a Qt program that
// often costs before any audio is read. scripts/bench-live sets it beside the program and parec.
//
//   idle_loop [INTERVAL_MS]    (default 125, one buffer's length)
#include "app/QtEventLoop.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    const int intervalMs = argc > 1 ? std::atoi(argv[1]) : 125;
    if (intervalMs <= 0)
        return 2;
    QApplication application(argc, argv);
    quietmon::QtEventLoop loop;
    auto tick = loop.createTimer([] {});
    tick->setInterval(intervalMs);
    tick->setEnabled(true);
    return QApplication::exec();
}

// A window of a process of its own, for the tests that close or end applications:
//   x11-test-client TITLE CLASS [--ignore-close] [--claim-pid=PID] [--display=NAME]
// Opens a window with this title and class on $DISPLAY (or NAME) that takes WM_DELETE_WINDOW, prints
// "window <id>" once it is mapped, and ends when asked to close it (unless --ignore-close) or when its
// standard input closes, so that it never outlives its test. With --claim-pid the window says, through
// _NET_WM_PID and WM_CLIENT_MACHINE, that it belongs to process PID of this computer.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

void claimProcess(Display* display, Window window, long pid) {
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    XChangeProperty(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host), static_cast<int>(std::strlen(host)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    bool ignoreClose = false;
    long claimedPid = 0;
    const char* displayName = nullptr;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ignore-close") == 0)
            ignoreClose = true;
        else if (std::strncmp(argv[i], "--claim-pid=", 12) == 0)
            claimedPid = std::atol(argv[i] + 12);
        else if (std::strncmp(argv[i], "--display=", 10) == 0)
            displayName = argv[i] + 10;
        else
            return 2;
    }
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return 2;
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 60, 40, 0, 0, 0xFFFFFF);
    XStoreName(display, window, argv[1]);
    char instance[] = "x11-test-client";
    XClassHint hint{instance, argv[2]};
    XSetClassHint(display, window, &hint);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    if (claimedPid != 0)
        claimProcess(display, window, claimedPid);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("window %lu\n", window);
    std::fflush(stdout);

    pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow &&
                !ignoreClose) {
                XCloseDisplay(display);
                return 0;
            }
        }
        if (poll(watched, 2, -1) < 0)
            continue;
        char byte;
        if (watched[1].revents != 0 && read(STDIN_FILENO, &byte, 1) <= 0) {
            XCloseDisplay(display);
            return 0;
        }
    }
}

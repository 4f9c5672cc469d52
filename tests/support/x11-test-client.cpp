// A window of a process of its own, for the tests that close or end applications:
//   x11-test-client TITLE CLASS [--ignore-close]
// Opens a window with this title and class on $DISPLAY that takes WM_DELETE_WINDOW, prints
// "window <id>" once it is mapped, and ends when asked to close it (unless --ignore-close) or when its
// standard input closes, so that it never outlives its test.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const bool ignoreClose = argc > 3 && std::strcmp(argv[3], "--ignore-close") == 0;
    Display* display = XOpenDisplay(nullptr);
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

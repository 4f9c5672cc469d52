// Screenshots of the test environment's Xvfb, through the screenshot task, decoded again.
#include "platform/linux/X11ScreenCapture.h"

#include "platform/linux/LibJpegEncoding.h"
#include "runtime/VirtualEventLoop.h"
#include "support/PrivateXServer.h"
#include "support/TempFolder.h"
#include "tasks/screenshot/ScreenshotSaver.h"

// Xlib's macros (None, Bool, Status) would break Google Test's own names, so it comes first.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <thread>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    int channelDistance(int x, int y, std::uint32_t colour) const {
        const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        int distance = 0;
        for (int i = 0; i < 3; ++i)
            distance =
                std::max(distance, std::abs(pixel[i] - static_cast<int>((colour >> (16 - 8 * i)) & 0xFF)));
        return distance;
    }
};

Picture decodeJpeg(const std::string& bytes) {
    jpeg_decompress_struct decoder{};
    jpeg_error_mgr errors{};
    decoder.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&decoder, TRUE);
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    Picture picture{static_cast<int>(decoder.output_width), static_cast<int>(decoder.output_height), {}};
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = &picture.rgb[static_cast<std::size_t>(decoder.output_scanline) * picture.width * 3];
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return picture;
}

std::uint32_t littleEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// A 24-bit bitmap as the task writes it: bottom-up rows of blue, green, red, padded to four bytes.
Picture decodeBmp(const std::string& bytes) {
    Picture picture{static_cast<int>(littleEndian(bytes, 18)), static_cast<int>(littleEndian(bytes, 22)), {}};
    const std::size_t rowBytes = (static_cast<std::size_t>(picture.width) * 3 + 3) / 4 * 4;
    const std::size_t pixels = littleEndian(bytes, 10);
    for (int y = 0; y < picture.height; ++y) {
        const std::size_t row = pixels + static_cast<std::size_t>(picture.height - 1 - y) * rowBytes;
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t at = row + static_cast<std::size_t>(x) * 3;
            picture.rgb.insert(picture.rgb.end(), {static_cast<std::uint8_t>(bytes[at + 2]),
                                                   static_cast<std::uint8_t>(bytes[at + 1]),
                                                   static_cast<std::uint8_t>(bytes[at])});
        }
    }
    return picture;
}

// A client of the test's own, showing windows of one colour where it puts them (there is no window
// manager to move them).
class ColourClient {
public:
    explicit ColourClient(const std::string& displayName) : m_display(XOpenDisplay(displayName.c_str())) {
        if (!m_display)
            throw std::runtime_error("cannot open display " + displayName);
    }
    ~ColourClient() { XCloseDisplay(m_display); }
    ColourClient(const ColourClient&) = delete;
    ColourClient& operator=(const ColourClient&) = delete;

    Display* display() const { return m_display; }

    // `colour` as 0xRRGGBB, on a 24-bit TrueColor screen.
    Window show(int x, int y, int width, int height, unsigned long colour) {
        const Window window =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, 0, colour);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(m_display, window, CWOverrideRedirect, &attributes);
        XMapRaised(m_display, window);
        XSync(m_display, False);
        return window;
    }

private:
    Display* m_display;
};

class X11ScreenCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "DISPLAY is not set";
        m_client.emplace(display);
    }
    std::string save(const std::string& name, bool deactivateScreensaver = false) {
        saver.saveScreenshot({temp.file(name), deactivateScreensaver});
        return test::readWholeFile(temp.file(name));
    }

    std::optional<ColourClient> m_client;
    test::TempFolder temp;
    VirtualEventLoop loop;
    X11DesktopWindows windows;
    X11ScreenCapture capture{windows};
    LibJpegEncoder jpeg;
    ScreenshotSaver saver{
        capture, jpeg, loop.clock(), [](std::string_view text) { return std::string(text); }, {}, {}, {}};
};

TEST_F(X11ScreenCaptureTest, APictureIsAJpegOrABitmapByItsNameAndShowsTheWholeScreen) {
    Display* display = m_client->display();
    const Window window = m_client->show(300, 200, 64, 48, 0x20C040);
    const int screenWidth = DisplayWidth(display, DefaultScreen(display));
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));

    for (const auto& [name, jpeg] : {std::pair{"shot.Jpeg", true}, std::pair{"shot.JPG", true},
                                     std::pair{"shot.jpg", true}, std::pair{"shot.png", false}}) {
        const std::string bytes = save(name);
        ASSERT_GT(bytes.size(), 2u) << name;
        EXPECT_EQ(bytes.substr(0, 2), jpeg ? "\xFF\xD8" : "BM") << name;
        if (jpeg) // a baseline frame (SOF0), not a progressive one (SOF2)
            EXPECT_TRUE(bytes.find("\xFF\xC0") != std::string::npos &&
                        bytes.find("\xFF\xC2") == std::string::npos)
                << name;
        const Picture picture = jpeg ? decodeJpeg(bytes) : decodeBmp(bytes);
        EXPECT_EQ(picture.width, screenWidth) << name;
        EXPECT_EQ(picture.height, screenHeight) << name;
        // JPEG keeps a flat colour within a few steps; a bitmap keeps it exactly.
        EXPECT_LE(picture.channelDistance(300 + 32, 200 + 24, 0x20C040), jpeg ? 6 : 0) << name;
        EXPECT_LE(picture.channelDistance(300 + 2, 200 + 2, 0x20C040), jpeg ? 6 : 0) << name;
    }
    XDestroyWindow(display, window);
    XSync(display, False);
}

TEST_F(X11ScreenCaptureTest, TheShiftStrokeReachesTheWindowWithTheKeyboardFocus) {
    Display* display = m_client->display();
    const Window window = m_client->show(10, 10, 30, 30, 0x000080);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);

    save("woken.bmp", true);

    std::vector<std::string> keys;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (keys.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        if (!XPending(display)) {
            pollfd readable{ConnectionNumber(display), POLLIN, 0};
            poll(&readable, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        keys.push_back((event.type == KeyPress ? "press " : "release ") + std::string(XKeysymToString(key)));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"press Shift_L", "release Shift_L"}));
    XDestroyWindow(display, window);
    XSync(display, False);
}

TEST(X11ScreenCapturePrimary, OfTwoMonitorsOnlyThePrimaryOneIsCapturedFromItsCorner) {
    test::PrivateXServer server; // 320x240
    ColourClient client(server.name());
    Display* display = client.display();
    // A monitor at the left half of the screen and the primary one at the right, with a window at the
    // primary's top-left corner.
    for (const auto& [name, x, primary] : {std::tuple{"LEFT", 0, false}, std::tuple{"RIGHT", 160, true}}) {
        XRRMonitorInfo* monitor = XRRAllocateMonitor(display, 0);
        monitor->name = XInternAtom(display, name, False);
        monitor->primary = primary;
        monitor->x = x;
        monitor->y = 0;
        monitor->width = 160;
        monitor->height = 240;
        monitor->mwidth = 42;
        monitor->mheight = 64;
        XRRSetMonitor(display, DefaultRootWindow(display), monitor);
        XRRFreeMonitors(monitor);
    }
    XSync(display, False);
    client.show(160, 0, 10, 10, 0xFF0000);
    X11DesktopWindows windows(server.name());
    X11ScreenCapture capture(windows);

    const ScreenImage image = capture.capturePrimaryMonitor();

    ASSERT_EQ(image.width, 160);
    ASSERT_EQ(image.height, 240);
    EXPECT_EQ(std::vector<std::uint8_t>(image.rgb.begin(), image.rgb.begin() + 3),
              (std::vector<std::uint8_t>{0xFF, 0, 0}));
}

TEST(X11ScreenCaptureNoDisplay, WithoutADisplayThePictureIsEmptyAndTheStrokeDoesNothing) {
    int number = 987;
    while (test::displayNumberTaken(number))
        ++number;
    X11DesktopWindows windows(":" + std::to_string(number));
    X11ScreenCapture capture(windows);
    capture.strokeShiftKey();
    EXPECT_TRUE(capture.capturePrimaryMonitor().empty());
}

} // namespace
} // namespace quietmon

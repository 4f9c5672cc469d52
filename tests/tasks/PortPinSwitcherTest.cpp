#include "tasks/serialport/PortPinSwitcher.h"

#include "fakes/FakeSerialLine.h"
#include "runtime/VirtualEventLoop.h"

#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;

const SerialLineFailure missing{2, "No such file or directory", true};
const SerialLineFailure busy{16, "Device or resource busy", false};
const SerialLineFailure noModemLines{25, "Inappropriate ioctl for device", false};

class PortPinSwitcherTest : public ::testing::Test {
protected:
    static PortSettings mode(PinHold hold, std::optional<SerialPin> pin = SerialPin::Dtr,
                             int forSeconds = 1) {
        PortSettings settings;
        settings.pin = pin;
        settings.forSeconds = forSeconds;
        settings.hold = hold;
        return settings;
    }

    VirtualEventLoop loop;
    test::FakeSerialLine line{[this] { return loop.elapsedMs(); }};
    Strings log;
    PortPinSwitcher switcher{line, loop.clock(), [this](const std::string& text) { log.push_back(text); }};
};

struct PortNameCase {
    int portLine;
    const char* device;
    int number;
    const char* nameTemplate;
    const char* opened;
};

void PrintTo(const PortNameCase& line, std::ostream* out) {
    *out << "COMPort " << line.portLine << " " << line.device;
}

class PortPinSwitcherNameTest : public PortPinSwitcherTest,
                                public ::testing::WithParamInterface<PortNameCase> {};

TEST_P(PortPinSwitcherNameTest, OpensTheDeviceOfTheListLineOrTheOneNamed) {
    PortSettings settings = mode(PinHold::ForSeconds);
    settings.portLine = GetParam().portLine;
    settings.device = GetParam().device;
    switcher.switchPin(settings);
    EXPECT_EQ(switcher.port().number(), GetParam().number);
    EXPECT_EQ(switcher.port().nameTemplate(), GetParam().nameTemplate);
    ASSERT_FALSE(line.changes.empty());
    EXPECT_EQ(line.changes[0].what, std::string("open ") + GetParam().opened);
}

INSTANTIATE_TEST_SUITE_P(Lines, PortPinSwitcherNameTest,
                         ::testing::Values(PortNameCase{0, "", 1, "COM%d", "/dev/ttyS0"},
                                           PortNameCase{8, "", 9, "COM%d", "/dev/ttyS8"},
                                           PortNameCase{9, "", 10, "\\\\.\\COM%d", "/dev/ttyS9"},
                                           PortNameCase{254, "", 255, "\\\\.\\COM%d", "/dev/ttyS254"},
                                           PortNameCase{0, "/dev/ttyUSB0", 1, "COM%d", "/dev/ttyUSB0"}));

struct PinCase {
    std::optional<SerialPin> pin; // none: no line of the pin list selected
    Strings raised;               // what the switch raises after both lines were lowered at the open
};

void PrintTo(const PinCase& pin, std::ostream* out) {
    *out << "Pin " << (pin.pin ? static_cast<int>(*pin.pin) : -1);
}

class PortPinSwitcherPinTest : public PortPinSwitcherTest, public ::testing::WithParamInterface<PinCase> {};

TEST_P(PortPinSwitcherPinTest, SwitchForTenSecondsHoldsThePinTenSecondsAndOneMillisecondThenClosesIn300) {
    switcher.switchPin(mode(PinHold::ForSeconds, GetParam().pin, 10));
    Strings expected{"open /dev/ttyS0", "DTR down", "RTS down"};
    expected.insert(expected.end(), GetParam().raised.begin(), GetParam().raised.end());
    expected.insert(expected.end(), {"DTR down", "RTS down", "close"});
    ASSERT_EQ(line.names(), expected);
    const std::size_t held = 3 + GetParam().raised.size(); // the first change after the hold
    for (std::size_t change = 0; change < line.changes.size(); ++change)
        EXPECT_EQ(line.changes[change].atMs, change < held ? 0 : 10'001) << line.changes[change].what;
    EXPECT_EQ(loop.elapsedMs(), 10'301);
    EXPECT_FALSE(switcher.port().isOpen());
    EXPECT_TRUE(log.empty());
}

INSTANTIATE_TEST_SUITE_P(Pins, PortPinSwitcherPinTest,
                         ::testing::Values(PinCase{SerialPin::Dtr, {"DTR up"}},
                                           PinCase{SerialPin::Rts, {"RTS up"}}, PinCase{std::nullopt, {}}));

TEST_F(PortPinSwitcherTest, UntilReturnAndAsLongAsPossibleLeaveThePinRaisedAndReturnAtOnce) {
    for (const PortSettings& settings : {mode(PinHold::UntilReturn), mode(PinHold::Forever)}) {
        const std::int64_t before = loop.elapsedMs();
        switcher.switchPin(settings);
        EXPECT_TRUE(line.dtr);
        EXPECT_TRUE(switcher.port().isOpen());
        EXPECT_EQ(loop.elapsedMs(), before);
        switcher.closePort();
    }
}

TEST_F(PortPinSwitcherTest, ReleaseLowersBothPinsAndClosesThePortIn300Milliseconds) {
    switcher.switchPin(mode(PinHold::UntilReturn, SerialPin::Rts));
    line.changes.clear();
    switcher.releasePortPin(0);
    EXPECT_EQ(line.names(), (Strings{"DTR down", "RTS down", "close"}));
    EXPECT_EQ(loop.elapsedMs(), 300);
    switcher.releasePortPin(0);
    EXPECT_EQ(loop.elapsedMs(), 300); // a closed port has nothing to release
}

TEST_F(PortPinSwitcherTest, ReleaseClosesThePortEvenWhenThePinsCannotBeLowered) {
    switcher.switchPin(mode(PinHold::UntilReturn));
    line.lowerFailure = noModemLines;
    switcher.releasePortPin(0);
    EXPECT_FALSE(switcher.port().isOpen());
    EXPECT_FALSE(line.isOpen);
}

struct FailureCase {
    const char* name;
    std::optional<SerialLineFailure> atOpen, atLowering, atRaising;
    bool portLeftOpen; // a port that failed only at raising the pin stays as that left it
};

void PrintTo(const FailureCase& failure, std::ostream* out) {
    *out << failure.name;
}

class PortPinSwitcherFailureTest : public PortPinSwitcherTest,
                                   public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PortPinSwitcherFailureTest, LogsOnlyCantAccessTheComPort) {
    line.openFailure = GetParam().atOpen;
    line.lowerFailure = GetParam().atLowering;
    line.raiseFailure = GetParam().atRaising;
    switcher.switchPin(mode(PinHold::UntilReturn));
    EXPECT_EQ(log, (Strings{"Can't access the COM port"}));
    EXPECT_EQ(switcher.port().isOpen(), GetParam().portLeftOpen);
    EXPECT_EQ(line.isOpen, GetParam().portLeftOpen);
}

INSTANTIATE_TEST_SUITE_P(Failures, PortPinSwitcherFailureTest,
                         ::testing::Values(FailureCase{"missing", missing, {}, {}, false},
                                           FailureCase{"busy", busy, {}, {}, false},
                                           FailureCase{"noModemLines", {}, noModemLines, noModemLines, false},
                                           FailureCase{"raiseRefused", {}, {}, noModemLines, true}));

TEST_F(PortPinSwitcherTest, ASwitchWhileThePortIsHeldIsRefusedOutsideTheTaskAndLeavesThePinRaised) {
    switcher.switchPin(mode(PinHold::Forever));
    try {
        switcher.switchPin(mode(PinHold::ForSeconds, SerialPin::Rts));
        FAIL() << "the second switch was not refused";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Can't perform this operation while port is open");
    }
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(line.dtr);
    EXPECT_FALSE(line.rts);
}

struct ErrorTextCase {
    std::optional<SerialLineFailure> atOpen, atLowering, atRaising;
    const char* text;
};

void PrintTo(const ErrorTextCase& error, std::ostream* out) {
    *out << error.text;
}

class SerialPortErrorTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(SerialPortErrorTest, NamesTheDeviceAndTheSystemsError) {
    VirtualEventLoop loop;
    test::FakeSerialLine line{[&loop] { return loop.elapsedMs(); }};
    line.openFailure = GetParam().atOpen;
    line.lowerFailure = GetParam().atLowering;
    line.raiseFailure = GetParam().atRaising;
    SerialPort port(line, loop.clock());
    port.setNumber(10);
    try {
        port.openPort();
        port.setDtr(true);
        FAIL() << "nothing failed";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SerialPortErrorTest,
    ::testing::Values(
        ErrorTextCase{missing, {}, {}, "Specified device not found (/dev/ttyS9)."},
        ErrorTextCase{
            busy, {}, {}, "Can't open specified device /dev/ttyS9 (Error 16, Device or resource busy)"},
        ErrorTextCase{{},
                      noModemLines,
                      {},
                      "Can't open specified device /dev/ttyS9 (Error 25, Inappropriate ioctl for device)"},
        ErrorTextCase{
            {}, {}, noModemLines, "Error calling comm function (25), Inappropriate ioctl for device"}));

} // namespace
} // namespace quietmon

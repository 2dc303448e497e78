// Line settings turned into terminal attributes.
#include "link/posix_termios.h"

#include <gtest/gtest.h>

#include <vector>

namespace vz::test {
namespace {

// A cooked terminal as a system might hand it over.
termios Cooked() {
    termios t{};
    t.c_iflag = ICRNL | IXON | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CSTOPB | HUPCL;
    t.c_cc[VMIN] = 1;
    return t;
}

termios Converted(const LineSettings& s) {
    termios t = Cooked();
    std::string error;
    EXPECT_TRUE(ToTermios(s, t, error)) << error;
    return t;
}

TEST(PosixTermios, DefaultLineIsRaw8N1WithoutFlowControl) {
    LineSettings s;
    s.baud = 57600;
    const termios t = Converted(s);
    EXPECT_EQ(::cfgetospeed(&t), B57600);
    EXPECT_EQ(::cfgetispeed(&t), B57600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | BRKINT), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(PosixTermios, DataBitsParityAndStopBits) {
    const std::pair<int, tcflag_t> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& [bits, flag] : sizes) {
        LineSettings s;
        s.dataBits = static_cast<std::uint8_t>(bits);
        EXPECT_EQ(Converted(s).c_cflag & CSIZE, flag) << bits;
    }

    LineSettings s;
    s.parity = LineParity::Odd;
    EXPECT_EQ(Converted(s).c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
    s.parity = LineParity::Even;
    EXPECT_EQ(Converted(s).c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB));
#ifdef CMSPAR
    s.parity = LineParity::Mark;
    EXPECT_EQ(Converted(s).c_cflag & (PARENB | PARODD | CMSPAR),
              static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
    s.parity = LineParity::Space;
    EXPECT_EQ(Converted(s).c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
#endif

    s = LineSettings{};
    s.stopBits = LineStopBits::OneAndHalf;
    EXPECT_NE(Converted(s).c_cflag & CSTOPB, 0u);
    s.stopBits = LineStopBits::Two;
    EXPECT_NE(Converted(s).c_cflag & CSTOPB, 0u);
}

TEST(PosixTermios, FlowControl) {
    LineSettings s;
    s.rtsCtsFlow = true;
    EXPECT_NE(Converted(s).c_cflag & CRTSCTS, 0u);
    s = LineSettings{};
    s.xonXoff = true;
    const termios t = Converted(s);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
}

TEST(PosixTermios, SpeedsTheSystemLacksAreRefused) {
    std::vector<std::uint32_t> missing = {12345};
#ifndef B14400
    missing.push_back(14400);
#endif
#ifndef B56000
    missing.push_back(56000);
#endif
    for (std::uint32_t baud : missing) {
        LineSettings s;
        s.baud = baud;
        termios t = Cooked();
        std::string error;
        EXPECT_FALSE(ToTermios(s, t, error)) << baud;
        EXPECT_NE(error.find(std::to_string(baud)), std::string::npos) << error;
    }
}

} // namespace
} // namespace vz::test

#include "link/posix_termios.h"

#include <algorithm>
#include <iterator>

namespace vz {

namespace {

struct SpeedEntry {
    std::uint32_t baud;
    speed_t code;
};

// Only the speeds this system has; others are refused.
constexpr SpeedEntry kSpeeds[] = {
    {110, B110},     {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},
    {9600, B9600},   {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
#ifdef B14400
    {14400, B14400},
#endif
#ifdef B56000
    {56000, B56000},
#endif
};

bool Refuse(std::string& error, std::string reason) {
    error = std::move(reason);
    return false;
}

} // namespace

bool ToTermios(const LineSettings& s, termios& t, std::string& error) {
    const auto speed = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                                    [&](const SpeedEntry& e) { return e.baud == s.baud; });
    if (speed == std::end(kSpeeds))
        return Refuse(error, "Speed of " + std::to_string(s.baud) + " bit/s not supported by this system");

    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    t.c_cflag |= CLOCAL | CREAD;

    switch (s.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    switch (s.parity) {
    case LineParity::None:
        break;
    case LineParity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case LineParity::Even:
        t.c_cflag |= PARENB;
        break;
    case LineParity::Mark:
    case LineParity::Space:
#ifdef CMSPAR
        t.c_cflag |= PARENB | CMSPAR | (s.parity == LineParity::Mark ? PARODD : 0);
        break;
#else
        return Refuse(error, "Mark and space parity not supported by this system");
#endif
    }
    // No 1.5 stop bits here: the nearest longer setting.
    if (s.stopBits != LineStopBits::One) t.c_cflag |= CSTOPB;
    if (s.rtsCtsFlow) t.c_cflag |= CRTSCTS;
    if (s.xonXoff) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed->code);
    ::cfsetospeed(&t, speed->code);
    return true;
}

} // namespace vz

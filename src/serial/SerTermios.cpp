// Line settings to and from the kernel's termios2, which also carries rates outside the standard set.
// Kept apart because <asm/termbits.h> cannot share a translation unit with <termios.h>.

#include "SerTty.h"

#include "SerErrno.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {

struct StandardRate {
    uint32_t baud;
    unsigned code;
};

const StandardRate standardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

void Encode(const TSerLineSettings &s, termios2 &t)
{
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_iflag |= IGNBRK;
    if (s.OutX)
        t.c_iflag |= IXON;
    if (s.InX)
        t.c_iflag |= IXOFF;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);

    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    t.c_cflag |= CLOCAL | CREAD;
    static const unsigned sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[s.ByteSize >= 5 && s.ByteSize <= 8 ? s.ByteSize - 5 : 3];
    switch (s.Parity) {
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (s.StopBits != 0)
        t.c_cflag |= CSTOPB;   // with five data bits the UART sends one and a half
    if (s.OutxCtsFlow || s.RtsControl == TSerRtsControl::Handshake)
        t.c_cflag |= CRTSCTS;   // both directions at once: the kernel cannot split them

    unsigned code = BOTHER;
    for (const StandardRate &rate : standardRates)
        if (rate.baud == s.BaudRate)
            code = rate.code;
    t.c_cflag |= code;
    t.c_ospeed = t.c_ispeed = s.BaudRate;

    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = cc_t(s.XonChar);
    t.c_cc[VSTOP] = cc_t(s.XoffChar);
}

} // namespace

int TtyReadSettings(int fd, TSerLineSettings &s)
{
    termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return -int(SerErrorFromErrno(errno));
    s.BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5: s.ByteSize = 5; break;
    case CS6: s.ByteSize = 6; break;
    case CS7: s.ByteSize = 7; break;
    default: s.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        s.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        s.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        s.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.StopBits = !(t.c_cflag & CSTOPB) ? 0 : s.ByteSize == 5 ? 1 : 2;
    const bool rtscts = t.c_cflag & CRTSCTS;
    s.OutxCtsFlow = rtscts;
    if (rtscts)
        s.RtsControl = TSerRtsControl::Handshake;
    else if (s.RtsControl == TSerRtsControl::Handshake)
        s.RtsControl = TSerRtsControl::Enable;
    s.OutX = t.c_iflag & IXON;
    s.InX = t.c_iflag & IXOFF;
    s.XonChar = char(t.c_cc[VSTART]);
    s.XoffChar = char(t.c_cc[VSTOP]);
    return 0;
}

int TtyWriteSettings(int fd, const TSerLineSettings &s)
{
    termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return -int(SerErrorFromErrno(errno));
    Encode(s, t);
    if (ioctl(fd, TCSETS2, &t) != 0)
        return -int(SerErrorFromErrno(errno));
    return 0;
}

uint32_t TtyControlFlags(const TSerLineSettings &s)
{
    termios2 t {};
    Encode(s, t);
    return t.c_cflag;
}

uint32_t TtyInputFlags(const TSerLineSettings &s)
{
    termios2 t {};
    Encode(s, t);
    return t.c_iflag;
}

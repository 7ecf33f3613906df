#include "SerTty.h"

#include "SerErrno.h"
#include "SerTtyDriver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {

int Fail(int error)
{
    SetSerLastError(SerErrorFromErrno(error));
    return -1;
}

void SetModemBit(int fd, int bit, bool on)
{
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit);   // devices without modem lines refuse; nothing to do then
}

} // namespace

int TtyOpen(const std::string &path)
{
    if (path.empty())
        return Fail(ENOENT);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno == EIO ? ENODEV : errno);   // a UART slot without a UART may refuse the open itself
    TSerTtyDriver &driver = SerTtyDriver();
    int error = 0;
    if (!isatty(fd))
        error = ENOTTY;
    else if (EmptyUartSlot(driver, fd))
        error = ENODEV;
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno;
    if (error == 0) {
        ioctl(fd, TIOCEXCL);
        TSerLineSettings settings;
        if (driver.ReadSettings(fd, settings) != 0 || driver.WriteSettings(fd, settings) != 0)   // raw mode
            error = ENODEV;
    }
    if (error != 0) {
        close(fd);
        return Fail(error);
    }
    return fd;
}

void TtyClose(int fd)
{
    ioctl(fd, TIOCNXCL);
    close(fd);   // releases the flock too
}

void TtySetDtr(int fd, bool on)
{
    SetModemBit(fd, TIOCM_DTR, on);
}

void TtySetRts(int fd, bool on)
{
    SetModemBit(fd, TIOCM_RTS, on);
}

uint8_t TtyModemStatus(int fd)
{
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0)
        return 0;
    return uint8_t((bits & TIOCM_CTS ? 0x10 : 0) | (bits & TIOCM_DSR ? 0x20 : 0) | (bits & TIOCM_RNG ? 0x40 : 0)
                   | (bits & TIOCM_CD ? 0x80 : 0));
}

bool TtyReadCounters(int fd, TTtyCounters &counters)
{
    serial_icounter_struct icount {};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return false;
    counters = {uint32_t(icount.buf_overrun), uint32_t(icount.overrun), uint32_t(icount.parity),
                uint32_t(icount.frame), uint32_t(icount.brk), uint32_t(icount.rng)};
    return true;
}

uint32_t TtyCounterErrors(const TTtyCounters &before, const TTtyCounters &after)
{
    return (after.bufOverrun != before.bufOverrun ? 1u : 0u) | (after.overrun != before.overrun ? 2u : 0u)
           | (after.parity != before.parity ? 4u : 0u) | (after.frame != before.frame ? 8u : 0u)
           | (after.brk != before.brk ? 16u : 0u);
}

uint32_t TtyInQueue(int fd)
{
    int count = 0;
    return ioctl(fd, FIONREAD, &count) == 0 && count > 0 ? uint32_t(count) : 0;
}

uint32_t TtyOutQueue(int fd)
{
    int count = 0;
    return ioctl(fd, TIOCOUTQ, &count) == 0 && count > 0 ? uint32_t(count) : 0;
}

int TtyFlush(int fd, bool input)
{
    if (tcflush(fd, input ? TCIFLUSH : TCOFLUSH) != 0)
        return -int(SerErrorFromErrno(errno));
    return 0;
}

void TtySetRs485(int fd, bool on)
{
    serial_rs485 rs485 {};
    if (ioctl(fd, TIOCGRS485, &rs485) != 0)
        return;   // the driver cannot switch RTS itself
    rs485.flags = on ? (rs485.flags | SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND) : (rs485.flags & ~SER_RS485_ENABLED);
    ioctl(fd, TIOCSRS485, &rs485);
}

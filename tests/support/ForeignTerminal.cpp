#include "ForeignTerminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

TtyLineState ReadLineState(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings {};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        const int error = errno;
        if (fd >= 0)
            close(fd);
        throw std::runtime_error("cannot read the line of " + path + ": " + std::strerror(error));
    }
    TtyLineState state;
    state.inputFlags = settings.c_iflag;
    state.outputFlags = settings.c_oflag;
    state.controlFlags = settings.c_cflag;
    state.localFlags = settings.c_lflag;
    state.controlChars.assign(reinterpret_cast<const char *>(settings.c_cc), NCCS);
    state.inputSpeed = cfgetispeed(&settings);
    state.outputSpeed = cfgetospeed(&settings);
    if (ioctl(fd, TIOCMGET, &state.modemBits) != 0)
        state.modemError = errno;
    close(fd);
    return state;
}

ForeignTerminal::ForeignTerminal(const std::string &path)
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    child_ = fork();
    if (child_ < 0)
        throw std::runtime_error("fork failed");
    if (child_ == 0) {
        // Only async-signal-safe calls here: the parent has threads.
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        termios t {};
        if (fd < 0 || tcgetattr(fd, &t) != 0)
            _exit(1);
        t.c_lflag |= ICANON | ECHO | ECHOE | ISIG;
        t.c_iflag |= ICRNL;
        t.c_oflag |= OPOST | ONLCR;
        if (tcsetattr(fd, TCSANOW, &t) != 0)
            _exit(1);
        const char ok = 'k';
        if (write(ready[1], &ok, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char answer = 0;
    const ssize_t n = read(ready[0], &answer, 1);
    close(ready[0]);
    if (n != 1) {
        waitpid(child_, nullptr, 0);
        throw std::runtime_error("the terminal program could not take " + path);
    }
}

ForeignTerminal::~ForeignTerminal()
{
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
}

} // namespace testsupport

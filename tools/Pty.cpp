#include "tools/Pty.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

bool SetRawLine(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

TPtyPair::TPtyPair()
{
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (FMaster < 0)
        Fail("posix_openpt");
    char name[128];
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0 || ptsname_r(FMaster, name, sizeof name) != 0) {
        const int err = errno;
        ::close(FMaster);
        errno = err;
        Fail("pty set-up");
    }
    FSlavePath = QString::fromLocal8Bit(name);
    FSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FSlave < 0 || !SetRawLine(FSlave)) {
        const int err = errno;
        if (FSlave >= 0)
            ::close(FSlave);
        ::close(FMaster);
        errno = err;
        Fail("pty slave");
    }
}

TPtyPair::~TPtyPair()
{
    CloseMaster();
    if (FSlave >= 0)
        ::close(FSlave);
}

void TPtyPair::CloseMaster()
{
    if (FMaster >= 0)
        ::close(FMaster);
    FMaster = -1;
}

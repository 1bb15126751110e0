/* Preloaded into Wine's processes by the tests: a pseudo-terminal has no modem lines, and
   Wine gives up watching a port whose lines it cannot read. Where the kernel refuses the
   line ioctls, this answers them: CTS, DSR and DCD on, DTR and RTS as last set. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>

static int Lines[4096];

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    const int saved = errno;
    const int r = real(fd, request, arg);
    if (r == 0 || (errno != EINVAL && errno != ENOTTY) || fd < 0 || fd >= 4096 || !arg)
        return r;
    const int mine = TIOCM_DTR | TIOCM_RTS;
    switch (request) {
    case TIOCMGET: *(int *)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | Lines[fd]; break;
    case TIOCMSET: Lines[fd] = *(int *)arg & mine; break;
    case TIOCMBIS: Lines[fd] |= *(int *)arg & mine; break;
    case TIOCMBIC: Lines[fd] &= ~*(int *)arg; break;
    default: return r;
    }
    errno = saved;
    return 0;
}

#pragma once
// Internal: ioctl that retries when a signal interrupts it.

#include <cerrno>
#include <sys/ioctl.h>

/// 0, or the errno of the failure.
inline int Ioctl(int Fd, unsigned long Request, void *Arg)
{
    int r;
    do
        r = ioctl(Fd, Request, Arg);
    while (r != 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

#pragma once
// A pseudo-terminal pair standing in for a serial line: the port opens the slave by name,
// the test plays the far end on the master and reads the line settings back through it.

#include <QString>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (ptsname_r(FMaster, name, sizeof name) != 0)
            throw std::runtime_error("no slave name");
        FSlave = QString::fromLocal8Bit(name);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    /// Absolute slave path, e.g. /dev/pts/3.
    const QString &Slave() const { return FSlave; }
    /// Slave name relative to /dev, e.g. pts/3.
    QString RelativeSlave() const { return FSlave.mid(5); }
    int Master() const { return FMaster; }
    void CloseMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

    /// The slave's settings, as the far end sees them.
    termios Settings() const
    {
        termios t{};
        tcgetattr(FMaster, &t);
        return t;
    }

    void Send(const std::string &Bytes) const
    {
        size_t done = 0;
        while (done < Bytes.size()) {
            ssize_t n = ::write(FMaster, Bytes.data() + done, Bytes.size() - done);
            if (n < 0)
                throw std::runtime_error("master write failed");
            done += size_t(n);
        }
    }

    /// Bytes the port sent, waiting up to TimeoutMs for the first and briefly for more.
    std::string Receive(int TimeoutMs = 2000) const
    {
        std::string out;
        pollfd p{FMaster, POLLIN, 0};
        int wait = TimeoutMs;
        while (::poll(&p, 1, wait) > 0) {
            char buf[4096];
            ssize_t n = ::read(FMaster, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, size_t(n));
            wait = 50;
        }
        return out;
    }

private:
    int FMaster = -1;
    QString FSlave;
};

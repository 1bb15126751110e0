#pragma once
// Pieces every benchmark program shares: a pseudo-terminal pair, the simulated sensor in its own
// process, the process's CPU time and percentiles of a sample.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace bench {

/// A fresh pseudo-terminal pair: the benchmark drives the master, the port opens Slave.
struct Pty {
    int Master = -1;
    QString Slave;
    Pty()
    {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) || unlockpt(Master))
            throw std::runtime_error("no pty");
        Slave = QString::fromLocal8Bit(ptsname(Master));
    }
    ~Pty() { ::close(Master); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
};

/// The simulator program (path in `program`) in its own process; its first line is the port.
class Peer {
public:
    Peer(const QString &program, const QStringList &args)
    {
        FProcess.start(program, args);
        FProcess.waitForReadyRead(5000);
        FPath = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~Peer()
    {
        FProcess.terminate();
        FProcess.waitForFinished(5000);
    }
    QString Path() const { return FPath; }

private:
    QProcess FProcess;
    QString FPath;
};

/// User plus system CPU time of this process, in seconds.
inline double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

/// The value below which the fraction `p` of the sample lies (0.5 is the median).
inline double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

/// The median of `reps` runs of `run`.
inline double MedianOf(int reps, const std::function<double()> &run)
{
    std::vector<double> v;
    for (int i = 0; i < reps; ++i)
        v.push_back(run());
    return Percentile(v, 0.5);
}

} // namespace bench

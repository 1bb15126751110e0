#pragma once
// A real ser2net on 127.0.0.1 in front of pseudo-terminals, from a configuration the test
// writes: each device gets a telnet(rfc2217) and a raw tcp accepter on free ports. The
// process runs in the foreground with its own PID file and is ended by that PID.

#include "tests/serial/LoopbackPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TSer2net {
public:
    static bool Available() { return !QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")}).isEmpty(); }

    explicit TSer2net(const QStringList &Devices, const QString &Extra = {})
    {
        QString yaml = QStringLiteral("%YAML 1.1\n---\n");
        for (int i = 0; i < Devices.size(); ++i) {
            FRfc << UnusedPort();
            FTcp << UnusedPort();
            const QString connector = QStringLiteral("  connector: serialdev,%1,9600n81,local\n%2").arg(Devices[i], Extra);
            yaml += QStringLiteral("connection: &raw%1\n  accepter: tcp,127.0.0.1,%2\n").arg(i).arg(FTcp[i]) + connector;
            yaml += QStringLiteral("connection: &rfc%1\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n").arg(i).arg(FRfc[i])
                + connector;
        }
        const QString config = FDir.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write(yaml.toUtf8());
        f.close();
        FPidFile = FDir.filePath(QStringLiteral("ser2net.pid"));
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.start(QStringLiteral("ser2net"), {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                                                   QStringLiteral("-P"), FPidFile});
        FProcess.waitForStarted(5000);
        QElapsedTimer t;
        t.start();
        while (!Listening() && t.elapsed() < 5000)
            QThread::msleep(10);
    }
    ~TSer2net()
    {
        if (const pid_t pid = Pid(); pid > 0) {
            ::kill(pid, SIGCONT);
            ::kill(pid, SIGTERM);
        }
        if (!FProcess.waitForFinished(3000)) {
            if (const pid_t pid = Pid(); pid > 0)
                ::kill(pid, SIGKILL);
            FProcess.waitForFinished(3000);
        }
    }

    QString Rfc2217(int I = 0) const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(FRfc[I]); }
    QString Tcp(int I = 0) const { return QStringLiteral("tcp://127.0.0.1:%1").arg(FTcp[I]); }
    /// The PID ser2net wrote, or that of the process started when it wrote none yet.
    pid_t Pid() const
    {
        QFile f(FPidFile);
        if (f.open(QIODevice::ReadOnly))
            if (const pid_t pid = pid_t(f.readAll().trimmed().toLong()); pid > 0)
                return pid;
        return pid_t(FProcess.processId());
    }
    void Signal(int Sig) const
    {
        if (const pid_t pid = Pid(); pid > 0)
            ::kill(pid, Sig);
    }
    bool Listening() const
    {
        QFile tcp(QStringLiteral("/proc/net/tcp"));
        if (!tcp.open(QIODevice::ReadOnly))
            return false;
        const QString table = QString::fromLatin1(tcp.readAll());
        for (quint16 port : FRfc + FTcp)
            if (!table.contains(QStringLiteral("0100007F:%1 00000000:0000 0A").arg(port, 4, 16, QLatin1Char('0')).toUpper()))
                return false;
        return true;
    }


private:
    QTemporaryDir FDir;
    QString FPidFile;
    QList<quint16> FRfc, FTcp;
    QProcess FProcess;
};

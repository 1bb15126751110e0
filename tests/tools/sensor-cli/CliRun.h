#pragma once
// Runs tq-sensor as a user would and collects what it printed and how it ended.

#include "protocol/Frame.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

struct TCliRun {
    int Code = -1;
    QString Out;
    QString Err;
    QStringList OutLines() const { return Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QStringList ErrLines() const { return Err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

/// `setup` may adjust the process before it starts (its standard error, for instance).
inline TCliRun RunCli(const QStringList &args, const std::function<void(QProcess &)> &setup = {})
{
    QProcess p;
    // The tool's messages are UTF-8 whatever the test machine's locale says.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    if (setup)
        setup(p);
    p.start(QStringLiteral(TQ_SENSOR), args);
    TCliRun run;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        run.Err = QStringLiteral("tq-sensor did not finish");
        return run;
    }
    run.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.Out = QString::fromUtf8(p.readAllStandardOutput());
    run.Err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

inline QByteArray Frame(TCommand code, std::initializer_list<int> payload = {})
{
    QByteArray bytes;
    for (int b : payload)
        bytes.append(char(b));
    return BuildRequest(code, bytes);
}
inline QList<QByteArray> Handshake()
{
    return {Frame(TCommand::COMM_MODE, {1}), Frame(TCommand::PING), Frame(TCommand::ID)};
}
inline QByteArray Farewell() { return Frame(TCommand::COMM_MODE, {0}); }

inline QString FailedText(const char *name)
{
    return QStringLiteral("Ошибка при команде %1: ошибка выполнения команды.").arg(QLatin1String(name));
}
inline QString NakText(const char *name)
{
    return QStringLiteral("Ошибка при команде %1: получен негативный ответ.").arg(QLatin1String(name));
}

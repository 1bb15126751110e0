#pragma once
// The real main window on a simulated sensor's pseudo-terminal, with every message box
// recorded instead of shown.

#include "SensorFrames.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "app/WaitCursor.h"
#include "protocol/Timer.h"
#include "serial/ComPort.h"
#include "tools/SimulatedSensor.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>


inline QString Failed(const char *name)
{
    return QStringLiteral("Ошибка при команде %1: ошибка выполнения команды.").arg(QLatin1String(name));
}
inline QString Nak(const char *name)
{
    return QStringLiteral("Ошибка при команде %1: получен негативный ответ.").arg(QLatin1String(name));
}
inline const QString OpenFailedText =
    QStringLiteral("Невозможно открыть COM-порт. Попробуйте выбрать другой порт или запустить программу от имени администратора.");
inline const QString UnsupportedText =
    QStringLiteral("Устройство данного типа или микропрограмма данной версии не поддерживаются.");

/// Texts of the recorded boxes, in order.
inline QStringList Texts(const TMessageRecorder &boxes)
{
    QStringList texts;
    for (const TMessageBoxCall &call : boxes.Calls)
        texts << call.Text;
    return texts;
}

/// Runs `f` from the event loop once `done` holds (checked every few ms), i.e. from inside the
/// wait of a running workflow.
inline void WhenInLoop(std::function<bool()> done, std::function<void()> f)
{
    auto *poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, done = std::move(done), f = std::move(f)] {
        if (!done())
            return;
        poll->deleteLater();
        poll->stop();
        f();
    });
    poll->start(2);
}

struct SensorWindow {
    explicit SensorWindow(const TSensorOptions &options = {})
        : sensor(std::make_unique<TSimulatedSensor>(options)), window(nullptr, {sensor->Path()})
    {
        window.show();
    }

    QList<QByteArray> Requests() const { return sensor->Sensor().Requests(); }

    /// True when the window is idle as after every connection: port closed, controls enabled,
    /// normal cursor.
    bool Idle() const
    {
        return !window.cpCOM->Connected() && window.tbUpload->isEnabled() && window.tbDownload->isEnabled()
            && window.gbWork->isEnabled() && window.gbCal->isEnabled() && window.txtCalTime->isEnabled()
            && window.cmdCalOn->isEnabled() && !WaitCursorShown();
    }

    TMessageRecorder boxes;
    std::unique_ptr<TSimulatedSensor> sensor;
    TfrmMain window;
};

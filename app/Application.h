#pragma once
// The application object: routes any exception that escapes an event handler to the
// application's standard exception display, and keeps the event loop running. It ignores
// SIGXFSZ, so a write past a file-size limit fails like one on a full disk.

#include "serial/ExceptionDisplay.h"

#include <QApplication>

class TApplication : public QApplication {
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

/// Installs the standard exception display: the exception's message in an error box.
void InstallExceptionDisplay();

/// Runs an event handler and shows whatever it throws, so that no exception unwinds
/// through the toolkit's frames. Use it wherever the toolkit calls our code.
template <typename Handler>
void RunHandler(Handler &&handler) noexcept
{
    try {
        handler();
    } catch (...) {
        ShowCurrentException();
    }
}

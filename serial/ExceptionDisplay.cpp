#include "serial/ExceptionDisplay.h"

#include "serial/Exception.h"

#include <QtGlobal>
#include <mutex>

namespace {
std::mutex displayLock;
ExceptionDisplay &installed()
{
    static ExceptionDisplay display;
    return display;
}
} // namespace

void SetExceptionDisplay(ExceptionDisplay display)
{
    std::lock_guard guard(displayLock);
    installed() = std::move(display);
}

QString CurrentExceptionMessage() noexcept
{
    try {
        throw;
    } catch (const Exception &e) {
        return e.Message();
    } catch (...) {
        // Foreign exceptions carry no text the user could act on.
        return {};
    }
}

void ShowCurrentException() noexcept
{
    const QString message = CurrentExceptionMessage();
    ExceptionDisplay display;
    {
        std::lock_guard guard(displayLock);
        display = installed();
    }
    try {
        if (display)
            display(message);
        else
            qWarning("Unhandled exception: %s", qPrintable(message));
    } catch (...) {
        qWarning("Exception display failed for: %s", qPrintable(message));
    }
}

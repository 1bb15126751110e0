#pragma once
// The application's standard exception display: one place that shows an exception which
// escaped an event handler. The component and the program both route such exceptions here;
// the program installs a message box, tests install a recorder.

#include <QString>
#include <exception>
#include <functional>

using ExceptionDisplay = std::function<void(const QString &message)>;

/// Installs the display; an empty function restores the default (a warning on stderr).
void SetExceptionDisplay(ExceptionDisplay display);

/// The message of the exception in flight (call from a catch block): our own exceptions'
/// text; the empty text for any other, as the toolkit's display would show it.
QString CurrentExceptionMessage() noexcept;

/// Shows the exception in flight (call from a catch block). Our own exceptions show their
/// message; any other exception shows the empty message, as the toolkit's display would.
void ShowCurrentException() noexcept;

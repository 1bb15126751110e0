#pragma once
// Helpers shared by the configurator's tests: recorded message boxes and a chosen locale.

#include "app/MessageBox.h"

#include <QLocale>
#include <vector>

/// Records every message box instead of showing it, for the life of the object.
class TMessageRecorder {
public:
    TMessageRecorder() : FPrevious(SetMessageBoxHook([this](const TMessageBoxCall &call) { Calls.push_back(call); })) {}
    ~TMessageRecorder() { SetMessageBoxHook(FPrevious); }
    TMessageRecorder(const TMessageRecorder &) = delete;
    TMessageRecorder &operator=(const TMessageRecorder &) = delete;

    std::vector<TMessageBoxCall> Calls;

private:
    MessageBoxHook FPrevious;
};

/// Makes locale the user's locale for the life of the object.
class TLocaleGuard {
public:
    explicit TLocaleGuard(const QLocale &locale) { QLocale::setDefault(locale); }
    ~TLocaleGuard() { QLocale::setDefault(FPrevious); }
    TLocaleGuard(const TLocaleGuard &) = delete;
    TLocaleGuard &operator=(const TLocaleGuard &) = delete;

private:
    QLocale FPrevious;
};

inline QLocale CommaLocale() { return QLocale(QLocale::Russian, QLocale::Russia); }
inline QLocale PointLocale() { return QLocale(QLocale::English, QLocale::UnitedStates); }

#pragma once
// The options of tq-sensor and its --help, which lists them from their own descriptions so
// the two never disagree; help2man makes the manual page from the same text.

#include <QCommandLineOption>
#include <QList>
#include <QString>

struct TToolOptions {
    TToolOptions();
    QCommandLineOption Output, Set, Verify, Time, Inert, Json, Trace, Quiet, Verbose, Help, Version;
    /// Every option, in the order --help lists them.
    QList<QCommandLineOption> All() const;
};

/// The --help text: the usage forms, the commands and their fields, the output and its JSON
/// form, the exit statuses, the options and examples.
QString UsageText(const TToolOptions &options);

#pragma once
// Runs one job on several ports at once: each port gets its own thread and its own host with
// its sensor context, so the protocol's commands and time-outs of one port never wait for
// another's.

#include "tools/sensor-cli/PortJobs.h"

#include <functional>

class TConsole;

/// Returns the outcomes in the order of `ports`; meanwhile the console's status line is kept up
/// to date.
QList<TPortOutcome> RunOnPorts(const QStringList &ports, TConsole &console,
                               const std::function<TPortOutcome(TSensorHost &host)> &job);

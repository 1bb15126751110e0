#pragma once
// Why a port would not open, told the same way by the window (below its error box) and by
// tq-sensor (after the port's status): a new kind of failure is added here, once.

#include "serial/ComOpenFailure.h"

#include <QString>

/// Why the port failed and what the user can do, in the window's language; empty when the
/// system showed nothing beyond the error number.
QString OpenFailureReason(const TComOpenFailure &Failure);

/// The kind of failure in a few English words for a tool's status column: "busy",
/// "no such port", "not a terminal", "no permission" or "cannot open".
QString OpenFailureStatus(const TComOpenFailure &Failure);

#pragma once
// The reason and remedy shown below the box of a port that would not open.

#include "serial/ComOpenFailure.h"

#include <QString>

/// Why the port failed and what the user can do, in the window's language; empty when the
/// system showed nothing beyond the error number.
QString OpenFailureReason(const TComOpenFailure &Failure);

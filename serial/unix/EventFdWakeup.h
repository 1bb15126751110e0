#pragma once
// Internal: the wake-up of an event thread on Linux, an eventfd; the terminal and the network
// device layers share it.

#include "serial/ComBackend.h"

#include <memory>

/// Null with Err set when no eventfd can be made.
std::unique_ptr<TComWakeup> CreateEventFdWakeup(int &Err);

/// Signals the eventfd Fd (adds one).
void KickEventFd(int Fd);
/// Takes every signal the eventfd Fd holds (it must be non-blocking).
void DrainEventFd(int Fd);

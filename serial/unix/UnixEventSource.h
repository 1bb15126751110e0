#pragma once
// Line events of a terminal device (see UnixEventSource.cpp for how each is detected).

#include "serial/ComBackend.h"

std::unique_ptr<TComEventSource> CreateUnixEventSource(int Handle, const TEventSetup &Setup,
                                                       int &Err);

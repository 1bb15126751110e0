#pragma once
// Internal: line events of a COM device through WaitCommEvent.

#include "serial/ComBackend.h"
#include "serial/win/WinDevice.h"

std::unique_ptr<TComEventSource> CreateWinEventSource(std::shared_ptr<TWinDevice> Device,
                                                      const TEventSetup &Setup, int &Err);

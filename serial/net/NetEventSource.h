#pragma once
// Internal: line events of a network line (see NetEventSource.cpp for how each is detected).

#include "serial/ComBackend.h"

#include <memory>

class TNetLink;

std::unique_ptr<TComEventSource> CreateNetEventSource(std::shared_ptr<TNetLink> Link, const TEventSetup &Setup,
                                                      int &Err);

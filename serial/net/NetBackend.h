#pragma once
// Internal: the device layer of rfc2217:// and tcp:// lines, and why one would not open.

#include "serial/ComOpenFailure.h"

#include <memory>

class TComBackend;

std::shared_ptr<TComBackend> CreateNetComBackend();

/// Keeps what the server of Port said before it closed a connection being opened ("Port
/// already in use"), for the diagnosis of that failure. Any thread.
void NoteNetServerText(const QString &Port, const QString &Text);

/// DiagnoseOpenFailure for a network port name.
TComOpenFailure DiagnoseNetOpenFailure(const QString &Port, int Error);

#pragma once
// Internal: the driver queue sizes the backend asks for at open, in bytes.

#include <windows.h>

inline constexpr DWORD WinQueueSize = 1024;

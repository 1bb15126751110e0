#include "tools/sensor-cli/ConsoleSession.h"

#ifdef _WIN32

#include <windows.h>

namespace {
const DWORD Streams[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
}

TConsoleSession::TConsoleSession()
{
    for (int i = 0; i < 2; ++i) {
        const HANDLE h = GetStdHandle(Streams[i]);
        DWORD mode = 0;
        if (h == INVALID_HANDLE_VALUE || !h || !GetConsoleMode(h, &mode))
            continue; // a file or a pipe
        FModes[i] = mode;
        FChanged[i] = true;
        // Refused by consoles that predate escapes; the rows then stay off.
        SetConsoleMode(h, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    if (FChanged[0] || FChanged[1]) {
        FCodePage = GetConsoleOutputCP();
        SetConsoleOutputCP(GetACP());
    }
}

TConsoleSession::~TConsoleSession()
{
    // The console outlives the tool: the shell it came from gets it back as it was.
    if (FCodePage)
        SetConsoleOutputCP(FCodePage);
    for (int i = 0; i < 2; ++i)
        if (FChanged[i])
            SetConsoleMode(GetStdHandle(Streams[i]), FModes[i]);
}

bool ProgressRowsDrawn()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

#else

#include <unistd.h>

TConsoleSession::TConsoleSession() = default;
TConsoleSession::~TConsoleSession() = default;

bool ProgressRowsDrawn() { return isatty(STDERR_FILENO) == 1; }

#endif

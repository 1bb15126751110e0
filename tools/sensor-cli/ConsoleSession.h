#pragma once
// The console window the tool writes to. Its texts go out in the system's ANSI code page (a
// file or a pipe gets them so), which a Windows console window shows right only while its
// output code page is that one; its progress rows are terminal escapes, which such a window
// draws only when asked to. Elsewhere a terminal needs neither.

/// For the tool's run: the console windows behind stdout and stderr take the ANSI code page
/// and terminal escapes, and are as they were again when it ends.
class TConsoleSession {
public:
    TConsoleSession();
    ~TConsoleSession();
    TConsoleSession(const TConsoleSession &) = delete;
    TConsoleSession &operator=(const TConsoleSession &) = delete;

private:
    unsigned FCodePage = 0; ///< the output code page before, 0 when no console was changed
    unsigned long FModes[2] = {};
    bool FChanged[2] = {};
};

/// True when stderr is a terminal that draws the progress rows.
bool ProgressRowsDrawn();

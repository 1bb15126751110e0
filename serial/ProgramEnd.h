#pragma once
// The end of a program that used ports.

/// For main's return, once all of the program's own objects are gone: returns Status. On
/// Windows the process ends here with Status instead, after the C streams are written out.
/// The system's own exit would stop every thread still on its way out (a port's event thread
/// moments after its port closed, a worker that has just returned) and then, in the C++
/// runtime's clean-up, wait for ever for a thread-library lock such a thread held.
#ifdef _WIN32
int EndProgram(int Status);
#else
inline int EndProgram(int Status) { return Status; }
#endif

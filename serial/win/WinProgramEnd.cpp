#include "serial/ProgramEnd.h"

#include <windows.h>

#include <cstdio>

int EndProgram(int Status)
{
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), UINT(Status));
    return Status; // not reached
}

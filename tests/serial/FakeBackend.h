#pragma once
// A device double: an open "device" with settable modem lines and error counters.

#include "serial/ComBackend.h"

#include <cerrno>

class FakeBackend : public TComBackend {
public:
    static constexpr int FakeHandle = 1000;
    TComSignals Lines;
    int LinesError = 0;   ///< errno ModemLines fails with
    TLineErrorCounts Counts;
    int CountsError = 0;  ///< errno ErrorCounts fails with
    int Queued = 0;
    TLineSettings Applied;
    int Applies = 0;

    int Open(const QByteArray &, int &Handle) override { Handle = FakeHandle; return 0; }
    int Close(int Handle) override { return Valid(Handle); }
    int Apply(int Handle, const TLineSettings &Settings) override
    {
        Applied = Settings;
        ++Applies;
        return Valid(Handle);
    }
    int Read(int Handle, void *, int, int &Done) override { Done = 0; return Valid(Handle); }
    int Write(int Handle, const void *, int Count, int &Done) override
    {
        Done = Count;
        return Valid(Handle);
    }
    int Wait(int, bool, int, int, bool &Ready, bool &Stopped) override
    {
        Ready = Stopped = false;
        return 0;
    }
    int InputCount(int Handle, int &Count) override { Count = Queued; return Valid(Handle); }
    int OutputCount(int Handle, int &Count) override { Count = 0; return Valid(Handle); }
    int Purge(int Handle, bool, bool) override { return Valid(Handle); }
    int ModemLines(int Handle, TComSignals &Out) override
    {
        Out = Lines;
        return Handle != FakeHandle ? EBADF : LinesError;
    }
    int SetLine(int Handle, TModemLine, bool) override { return Valid(Handle); }
    int SetBreak(int Handle, bool) override { return Valid(Handle); }
    int SetFlow(int Handle, bool) override { return Valid(Handle); }
    int TransmitChar(int Handle, quint8) override { return Valid(Handle); }
    int ErrorCounts(int Handle, TLineErrorCounts &Out) override
    {
        Out = Counts;
        return Handle != FakeHandle ? EBADF : CountsError;
    }

private:
    static int Valid(int Handle) { return Handle == FakeHandle ? 0 : EBADF; }
};

#pragma once
// Internal: one connection to a serial device server, raw or with the com-port option. All
// calls are safe from any thread: the port's thread, its event thread and its async queues
// share it. Every function returns 0 or an errno.

#include "serial/ComBackend.h"
#include "serial/ComPortName.h"
#include "serial/net/ComPortState.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <mutex>

class TNetLink {
public:
    /// Connects and, for rfc2217://, negotiates. On failure, ServerText is what the server said
    /// before it closed the connection (its busy message).
    static int Connect(const TNetPortName &Name, std::unique_ptr<TNetLink> &Link, QString &ServerText);
    ~TNetLink();
    TNetLink(const TNetLink &) = delete;
    TNetLink &operator=(const TNetLink &) = delete;

    int Socket() const { return FSocket; }
    /// Readable while a Read may find data (or the connection's end).
    int ReadyFd() const { return FReady; }
    /// Kicked whenever received bytes were decoded; the event source drains it.
    int NewsFd() const { return FNews; }
    bool Rfc2217() const { return FName.Scheme == nsRfc2217; }

    int Read(void *Buffer, int Count, int &Done);
    int Write(const void *Buffer, int Count, int &Done);
    int Wait(bool ForRead, int TimeoutMs, int StopFd, bool &Ready, bool &Stopped);
    int InputCount(int &Count);
    int OutputCount(int &Count);
    int Purge(bool Input, bool Output);
    /// Sends the settings and checks the server's answers against them.
    int Apply(const TLineSettings &Settings);
    /// SET-CONTROL with Value; the answer is not awaited (servers leave some unanswered).
    int Control(quint8 Value);
    /// A copy of what the server has told so far, after taking what has arrived.
    TComPortState State();
    /// Received bytes taken from the socket; false when the connection has ended.
    bool Pump();

private:
    explicit TNetLink(const TNetPortName &Name);
    int Negotiate(QString &ServerText);
    int PumpLocked();
    int FlushLocked();
    int SendLocked(const QByteArray &Bytes);
    void SetReadyLocked();
    /// Waits until the answer of Kind has come Since times more than At, or Deadline (ms).
    int WaitAnswer(TComPortAnswer Kind, quint32 At, qint64 DeadlineMs);
    int Ended() const;

    const TNetPortName FName;
    int FSocket = -1;
    int FReady = -1;  ///< epoll set: the socket and FHave
    int FHave = -1;   ///< eventfd, set while FInput holds bytes
    int FNews = -1;
    std::mutex FLock;
    TTelnetSession FTelnet;
    TComPortState FState;
    QByteArray FInput;
    QByteArray FOutput;  ///< on the wire already encoded, not yet taken by the socket
    bool FHaveSet = false;
    bool FEof = false;
    int FError = 0;
};

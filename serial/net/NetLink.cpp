// A connection to a serial device server over plain POSIX sockets.

#include "serial/net/NetLink.h"
#include "serial/unix/EventFdWakeup.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <linux/sockios.h>

namespace {

constexpr int ConnectMs = 3000;    ///< no answer to the connection attempt
constexpr int NegotiateMs = 2000;  ///< no agreement to the com-port option
constexpr int SignatureMs = 500;   ///< servers that do not sign are used all the same
constexpr int AnswerMs = 2000;     ///< a line setting not answered
constexpr int SliceMs = 20;        ///< another thread may take the answer off the socket
constexpr int BusyWindowMs = 30;   ///< a raw server that is busy says so and closes at once
constexpr int MaxWriteChunk = 65536;

qint64 Now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

int PollOne(int Fd, short Events, int TimeoutMs)
{
    pollfd p{Fd, Events, 0};
    const int r = ::poll(&p, 1, TimeoutMs);
    if (r < 0)
        return errno == EINTR ? 0 : -errno;
    return r > 0 ? p.revents : 0;
}

QByteArray Be32(quint32 V)
{
    const char b[] = {char(V >> 24), char(V >> 16), char(V >> 8), char(V)};
    return QByteArray(b, 4);
}

QByteArray Byte(quint8 V) { return QByteArray(1, char(V)); }

/// A non-blocking socket connected to one of the host's addresses within ConnectMs.
int ConnectSocket(const TNetPortName &Name, int &Fd)
{
    Fd = -1;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo *found = nullptr;
    const QByteArray host = Name.Host.toUtf8();
    const QByteArray port = QByteArray::number(Name.Port);
    int gai = getaddrinfo(host.constData(), port.constData(), &hints, &found);
    if (gai == EAI_NONAME || gai == EAI_ADDRFAMILY) {
        hints.ai_flags = AI_NUMERICSERV; // a loopback-only machine has no configured address family
        gai = getaddrinfo(host.constData(), port.constData(), &hints, &found);
    }
    if (gai != 0)
        return gai == EAI_SYSTEM ? errno : ENXIO;
    const qint64 deadline = Now() + ConnectMs;
    int err = ETIMEDOUT;
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            err = errno;
            continue;
        }
        int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
        err = r == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            const int left = int(std::max<qint64>(0, deadline - Now()));
            const int ev = PollOne(fd, POLLOUT, left);
            socklen_t len = sizeof err;
            if (ev < 0)
                err = -ev;
            else if (ev == 0)
                err = ETIMEDOUT;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
        }
        if (err == 0) {
            Fd = fd;
            break;
        }
        ::close(fd);
        if (err == ETIMEDOUT)
            break;
    }
    freeaddrinfo(found);
    if (Fd < 0)
        return err;
    // Replies are small and paced: no Nagle. Keep-alive finds a server that vanished unseen.
    const int on = 1, idle = 10, interval = 5, count = 3;
    setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(Fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(Fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(Fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(Fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    return 0;
}

quint8 ParityCode(TParityBits P)
{
    switch (P) {
    case prNone: return 1;
    case prOdd: return 2;
    case prEven: return 3;
    case prMark: return 4;
    case prSpace: return 5;
    }
    return 1;
}

} // namespace

TNetLink::TNetLink(const TNetPortName &Name) : FName(Name) {}

TNetLink::~TNetLink()
{
    for (int fd : {FSocket, FReady, FHave, FNews})
        if (fd >= 0)
            ::close(fd);
}

int TNetLink::Connect(const TNetPortName &Name, std::unique_ptr<TNetLink> &Link, QString &ServerText)
{
    std::unique_ptr<TNetLink> link(new TNetLink(Name));
    if (int err = ConnectSocket(Name, link->FSocket))
        return err;
    link->FReady = epoll_create1(EPOLL_CLOEXEC);
    link->FHave = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    link->FNews = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (link->FReady < 0 || link->FHave < 0 || link->FNews < 0)
        return errno;
    epoll_event sock{EPOLLIN | EPOLLRDHUP, {}};
    epoll_event have{EPOLLIN, {}};
    if (epoll_ctl(link->FReady, EPOLL_CTL_ADD, link->FSocket, &sock) != 0
        || epoll_ctl(link->FReady, EPOLL_CTL_ADD, link->FHave, &have) != 0)
        return errno;
    if (int err = link->Negotiate(ServerText))
        return err;
    Link = std::move(link);
    return 0;
}

int TNetLink::Negotiate(QString &ServerText)
{
    std::unique_lock lock(FLock);
    const bool telnet = Rfc2217();
    if (telnet) {
        using namespace comport;
        QByteArray hello = TTelnetSession::Offer();
        hello += TTelnetSession::ComPortCommand(Signature, {});
        hello += TTelnetSession::ComPortCommand(SetModemStateMask, Byte(0xFF));
        hello += TTelnetSession::ComPortCommand(SetLineStateMask, Byte(LsBreak | LsFraming | LsParity | LsOverrun));
        if (int err = SendLocked(hello))
            return err;
    }
    // Until the server has agreed (or, raw, for a moment), data is what a busy server says.
    const qint64 deadline = Now() + (telnet ? NegotiateMs : BusyWindowMs);
    qint64 signedBy = -1;
    for (;;) {
        const int err = PumpLocked();
        auto said = [this] { return QString::fromLatin1(FInput).trimmed(); };
        if (err != 0 || FEof) {
            ServerText = said();
            if (!ServerText.isEmpty())
                return EBUSY;
            return err ? err : ECONNRESET;
        }
        if (telnet && FTelnet.ComPortRefused())
            return EPROTO;
        if (telnet && FTelnet.ComPortAgreed()) {
            // A busy server may agree first and then say so: its signature shows it serves.
            if (signedBy < 0)
                signedBy = Now() + SignatureMs;
            if (FState.Answers[caSignature] > 0 || Now() >= signedBy)
                return 0;
        }
        const qint64 until = signedBy >= 0 ? signedBy : deadline;
        const qint64 left = until - Now();
        if (left <= 0)
            return telnet ? EPROTO : 0;
        lock.unlock();
        PollOne(FSocket, POLLIN, int(left));
        lock.lock();
    }
}

int TNetLink::Ended() const
{
    return FError ? FError : ECONNRESET;
}

int TNetLink::SendLocked(const QByteArray &Bytes)
{
    FOutput += Bytes;
    return FlushLocked();
}

int TNetLink::FlushLocked()
{
    while (!FOutput.isEmpty()) {
        const ssize_t n = ::send(FSocket, FOutput.constData(), size_t(FOutput.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            FOutput.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        FError = n < 0 ? errno : EPIPE;
        return FError;
    }
    return 0;
}

void TNetLink::SetReadyLocked()
{
    const bool have = !FInput.isEmpty() || FEof || FError;
    if (have && !FHaveSet)
        KickEventFd(FHave);
    else if (!have && FHaveSet)
        DrainEventFd(FHave);
    FHaveSet = have;
}

int TNetLink::PumpLocked()
{
    if (FEof || FError)
        return FError;
    bool news = false;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::recv(FSocket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            // A server that sends a reply in pieces holds the rest back until this side
            // acknowledges (Nagle): acknowledge at once rather than after the delayed-ACK time.
            const int on = 1;
            setsockopt(FSocket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
            news = true;
            if (Rfc2217())
                FTelnet.Feed(chunk, int(n), FInput);
            else
                FInput.append(chunk, n);
            continue;
        }
        if (n == 0) {
            FEof = true;
            news = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            FError = errno;
            news = true;
        }
        break;
    }
    if (Rfc2217()) {
        for (const TComPortMessage &m : FTelnet.TakeMessages())
            FState.Take(m);
        const QByteArray replies = FTelnet.TakeReplies();
        if (!replies.isEmpty() && !FEof && !FError)
            SendLocked(replies);
    }
    SetReadyLocked();
    if (news)
        KickEventFd(FNews);
    return FError;
}

bool TNetLink::Pump()
{
    std::lock_guard guard(FLock);
    PumpLocked();
    return !FEof && !FError;
}

int TNetLink::Read(void *Buffer, int Count, int &Done)
{
    std::lock_guard guard(FLock);
    Done = 0;
    PumpLocked();
    FlushLocked(); // output the socket could not take earlier goes on with the reads
    Done = int(std::min<qsizetype>(Count, FInput.size()));
    if (Done > 0) {
        std::copy_n(FInput.constData(), Done, static_cast<char *>(Buffer));
        FInput.remove(0, Done);
    }
    SetReadyLocked();
    // The server closing the connection is the line going away: after the last byte.
    if (Done == 0 && Count > 0 && (FEof || FError))
        return Ended();
    return 0;
}

int TNetLink::Write(const void *Buffer, int Count, int &Done)
{
    std::lock_guard guard(FLock);
    Done = 0;
    if (FEof || FError)
        return Ended();
    if (int err = FlushLocked())
        return err;
    if (!FOutput.isEmpty() || Count <= 0)
        return 0;
    Done = std::min(Count, MaxWriteChunk);
    const char *bytes = static_cast<const char *>(Buffer);
    // What the socket does not take now stays queued here and goes out with the next call.
    return SendLocked(Rfc2217() ? TTelnetSession::Escape(bytes, Done) : QByteArray(bytes, Done));
}

int TNetLink::Wait(bool ForRead, int TimeoutMs, int StopFd, bool &Ready, bool &Stopped)
{
    Ready = Stopped = false;
    {
        std::lock_guard guard(FLock);
        if (ForRead && (!FInput.isEmpty() || FEof || FError)) {
            Ready = true;
            return 0;
        }
        if (!ForRead) {
            FlushLocked();
            if (FOutput.isEmpty() || FError) {
                Ready = true;
                return 0;
            }
        }
    }
    pollfd fds[2] = {{ForRead ? FReady : FSocket, short(ForRead ? POLLIN : POLLOUT), 0}, {StopFd, POLLIN, 0}};
    const int r = ::poll(fds, StopFd >= 0 ? 2 : 1, TimeoutMs < 0 ? -1 : TimeoutMs);
    if (r < 0)
        return errno == EINTR ? 0 : errno;
    Stopped = StopFd >= 0 && fds[1].revents != 0;
    if (fds[0].revents) {
        std::lock_guard guard(FLock);
        if (ForRead) {
            PumpLocked();
            Ready = !FInput.isEmpty() || FEof || FError;
        } else {
            FlushLocked();
            Ready = FOutput.isEmpty() || FError;
        }
    }
    return 0;
}

int TNetLink::InputCount(int &Count)
{
    std::lock_guard guard(FLock);
    PumpLocked();
    Count = int(FInput.size());
    return 0;
}

int TNetLink::OutputCount(int &Count)
{
    std::lock_guard guard(FLock);
    FlushLocked();
    int queued = 0;
    if (ioctl(FSocket, SIOCOUTQ, &queued) != 0)
        queued = 0;
    Count = int(FOutput.size()) + queued;
    return 0;
}

int TNetLink::Purge(bool Input, bool Output)
{
    std::lock_guard guard(FLock);
    if (Input) {
        PumpLocked();
        FInput.clear();
        SetReadyLocked();
    }
    if (Rfc2217() && (Input || Output) && !FEof && !FError)
        return SendLocked(TTelnetSession::ComPortCommand(comport::PurgeData, Byte(Input && Output ? 3 : Input ? 1 : 2)));
    return FError;
}

int TNetLink::Control(quint8 Value)
{
    std::lock_guard guard(FLock);
    if (FEof || FError)
        return Ended();
    return SendLocked(TTelnetSession::ComPortCommand(comport::SetControl, Byte(Value)));
}

TComPortState TNetLink::State()
{
    std::lock_guard guard(FLock);
    PumpLocked();
    return FState;
}

int TNetLink::WaitAnswer(TComPortAnswer Kind, quint32 At, qint64 DeadlineMs)
{
    for (;;) {
        {
            std::lock_guard guard(FLock);
            PumpLocked();
            if (FState.Answers[Kind] != At)
                return 0;
            if (FEof || FError)
                return Ended();
        }
        const qint64 left = DeadlineMs - Now();
        if (left <= 0)
            return ETIMEDOUT;
        PollOne(FSocket, POLLIN, int(std::min<qint64>(left, SliceMs)));
    }
}

int TNetLink::Apply(const TLineSettings &S)
{
    if (!Rfc2217())
        return 0; // a raw port runs the server's own settings
    using namespace comport;
    struct TAsk {
        TComPortAnswer Kind;
        quint8 Code;
        QByteArray Value;
        quint32 Expect;
    };
    const quint8 flow = S.RtsCtsFlow ? FlowHardware : S.XonXoffOut ? FlowXonXoff : FlowNone;
    std::vector<TAsk> asks = {
        {caBaudRate, SetBaudRate, Be32(quint32(S.BaudRate)), quint32(S.BaudRate)},
        {caDataSize, SetDataSize, Byte(quint8(S.DataBits)), quint32(S.DataBits)},
        {caParity, SetParity, Byte(ParityCode(S.Parity)), ParityCode(S.Parity)},
        {caStopSize, SetStopSize, Byte(S.TwoStopBits ? 2 : 1), S.TwoStopBits ? 2u : 1u},
        {caFlow, SetControl, Byte(flow), flow},
    };
    if (S.XonXoffIn)
        asks.push_back({caInFlow, SetControl, Byte(InFlowXonXoff), InFlowXonXoff});
    quint32 at[caCount];
    {
        std::lock_guard guard(FLock);
        if (FEof || FError)
            return Ended();
        std::copy(std::begin(FState.Answers), std::end(FState.Answers), at);
        QByteArray commands;
        for (const TAsk &a : asks)
            commands += TTelnetSession::ComPortCommand(a.Code, a.Value);
        // DTR and RTS go last and unanswered: a server without modem lines leaves them so.
        if (S.Dtr >= 0)
            commands += TTelnetSession::ComPortCommand(SetControl, Byte(S.Dtr ? DtrOn : DtrOff));
        if (S.Rts >= 0 && !S.RtsCtsFlow)
            commands += TTelnetSession::ComPortCommand(SetControl, Byte(S.Rts ? RtsOn : RtsOff));
        if (int err = SendLocked(commands))
            return err;
    }
    const qint64 deadline = Now() + AnswerMs;
    for (const TAsk &a : asks)
        if (int err = WaitAnswer(a.Kind, at[a.Kind], deadline))
            return err;
    std::lock_guard guard(FLock);
    // The answer is the value the server uses: another one is a refusal.
    for (const TAsk &a : asks)
        if (FState.Value[a.Kind] != a.Expect)
            return EINVAL;
    return 0;
}

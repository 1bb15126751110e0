#pragma once
// A serial device server that follows a test's script, on 127.0.0.1 and a free port: it
// accepts one connection and runs the script on its own thread.

#include "serial/net/TelnetSession.h"
#include "tests/serial/LoopbackPort.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class TScriptedServer {
public:
    /// The accepted connection, as the script sees it.
    struct TClient {
        int Fd = -1;
        TTelnetSession Telnet;
        QByteArray Data;                        ///< decoded data bytes from the client
        std::vector<TComPortMessage> Commands;  ///< com-port commands from the client, in order
        bool Closed = false;

        /// Reads for up to Ms, or until Done() holds.
        void Pump(int Ms, const std::function<bool()> &Done = {})
        {
            QElapsedTimer t;
            t.start();
            while (!Closed && !(Done && Done()) && t.elapsed() < Ms) {
                pollfd p{Fd, POLLIN, 0};
                if (::poll(&p, 1, 5) <= 0)
                    continue;
                char chunk[4096];
                const ssize_t n = ::recv(Fd, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    Closed = true;
                    break;
                }
                Telnet.Feed(chunk, int(n), Data);
                for (TComPortMessage &m : Telnet.TakeMessages())
                    Commands.push_back(m);
            }
        }
        /// Waits for the client's Count-th command (hang guard 3 s).
        bool WaitCommands(size_t Count)
        {
            Pump(3000, [&] { return Commands.size() >= Count; });
            return Commands.size() >= Count;
        }
        void Send(const QByteArray &Bytes) { [[maybe_unused]] ssize_t n = ::send(Fd, Bytes.constData(), size_t(Bytes.size()), MSG_NOSIGNAL); }
        void Answer(quint8 ClientCode, const QByteArray &Value) { Send(TTelnetSession::ComPortCommand(ClientCode + 100, Value)); }
        /// Agrees to the com-port option and signs, as a working server does.
        void Agree()
        {
            Send(QByteArray("\xFF\xFD\x2C", 3));
            WaitCommands(1); // the signature request comes first
            Answer(0, "scripted");
        }
        /// Answers every command with its own value, except DTR and RTS (as on a line without
        /// modem lines), for up to Ms or until the client closes.
        void AnswerAll(int Ms, size_t From = 0)
        {
            QElapsedTimer t;
            t.start();
            while (!Closed && t.elapsed() < Ms) {
                Pump(5);
                for (; From < Commands.size(); ++From) {
                    const TComPortMessage &m = Commands[From];
                    const quint8 v = m.Value.isEmpty() ? 0 : quint8(m.Value.at(0));
                    if (m.Code == 5 && v >= 7 && v <= 12)
                        continue;
                    if (m.Code != 0)
                        Answer(m.Code, m.Value);
                }
            }
        }
    };
    using TScript = std::function<void(TClient &)>;

    explicit TScriptedServer(TScript Script)
    {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(FListen, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(FListen, 4);
        ::getsockname(FListen, reinterpret_cast<sockaddr *>(&a), &len);
        FPort = ntohs(a.sin_port);
        FThread = std::thread([this, Script] {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                return;
            TClient client;
            client.Fd = ::accept(FListen, nullptr, nullptr);
            Script(client);
            ::close(client.Fd);
        });
    }
    ~TScriptedServer()
    {
        FThread.join();
        ::close(FListen);
    }
    QString Name(const char *Scheme = "rfc2217") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(Scheme)).arg(FPort);
    }

private:
    int FListen = -1;
    quint16 FPort = 0;
    std::thread FThread;
};


// tq-echo-line PORT [TEXT]: opens PORT at 9600 8N1, writes TEXT (default "hello") and a line
// feed, and prints what comes back within a second.

#include <serial/ComError.h>
#include <serial/ComPort.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tq-echo-line PORT [TEXT]\n");
        return 2;
    }
    const QString text = QString::fromLocal8Bit(argc > 2 ? argv[2] : "hello") + QLatin1Char('\n');

    TComPort port;
    port.SetPort(QString::fromLocal8Bit(argv[1]));
    port.SetBaudRate(br9600);
    // No event thread: this program reads when it wants to.
    port.SetEvents(TComEvents{});
    // A read returns once 100 ms pass without a byte, and after one second at the latest.
    port.Timeouts().SetReadInterval(100);
    port.Timeouts().SetReadTotalC(1000);
    try {
        port.Open();
        port.WriteStr(text);
        QString reply;
        port.ReadStr(reply, 256);
        port.Close();
        if (reply.isEmpty()) {
            std::fprintf(stderr, "tq-echo-line: no answer\n");
            return 1;
        }
        std::printf("%s", reply.toLatin1().constData());
        if (!reply.endsWith(QLatin1Char('\n')))
            std::printf("\n");
        return 0;
    } catch (const EComPort &error) {
        std::fprintf(stderr, "tq-echo-line: %s\n", qPrintable(error.Message()));
        return 1;
    }
}

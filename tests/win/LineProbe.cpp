// tq-line-probe PORT RATE BITS PARITY STOP [rtscts]: opens a port with these settings and
// holds it until its standard input ends, so that the test harness can look at the line
// from the other side. Prints "open" once the settings are applied.

#include "serial/ComConvert.h"
#include "serial/ComError.h"
#include "serial/ComPort.h"
#include "serial/ProgramEnd.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int Run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 6) {
        std::fprintf(stderr, "usage: tq-line-probe PORT RATE BITS N|O|E|M|S 1|2 [rtscts]\n");
        return 2;
    }
    TComPort port;
    port.SetPort(a[1]);
    port.SetBaudRate(StrToBaudRate(a[2]));
    port.SetDataBits(TDataBits(a[3].toInt() - 5));
    port.Parity().SetBits(TParityBits(QStringLiteral("NOEMS").indexOf(a[4])));
    port.SetStopBits(a[5] == QLatin1String("2") ? sbTwoStopBits : sbOneStopBit);
    if (a.size() > 6 && a[6] == QLatin1String("rtscts"))
        port.FlowControl().SetFlowControl(fcHardware);
    try {
        port.Open();
    } catch (const EComPort &e) {
        std::fprintf(stderr, "tq-line-probe: %s\n", e.what());
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    port.Close();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return EndProgram(Run(argc, argv));
}

// tq-sensor's status block on terminals of different widths: what a user sees, replayed on a
// small screen model that wraps long rows as a terminal does.
#include "CliRun.h"

#include "tools/Pty.h"
#include "tools/SimulatedSensor.h"
#include "tools/sensor-cli/ExitCodes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

/// The few controls the tool uses: CR, LF, cursor up, erase to the line's end; a character
/// in the last column's place wraps to the next row.
class TScreen {
public:
    TScreen(int columns, int rows) : FColumns(columns), FRows(rows, QString(columns, QLatin1Char(' '))) {}

    void Feed(const QString &text, const std::function<void()> &after)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == QLatin1Char('\033') && text.mid(i + 1, 2) == QLatin1String("[A")) {
                FY = std::max(FY - 1, 0);
                i += 2;
            } else if (c == QLatin1Char('\033') && text.mid(i + 1, 2) == QLatin1String("[K")) {
                FRows[FY].replace(FX, FColumns - FX, QString(FColumns - FX, QLatin1Char(' ')));
                i += 2;
            } else if (c == QLatin1Char('\r')) {
                FX = 0;
            } else if (c == QLatin1Char('\n')) {
                LineFeed();
            } else {
                if (FX == FColumns) {
                    ++Wraps;
                    FX = 0;
                    LineFeed();
                }
                FRows[FY][FX++] = c;
            }
            after();
        }
    }
    QStringList Rows() const { return FRows; }
    int Wraps = 0;

private:
    void LineFeed()
    {
        if (FY + 1 < FRows.size())
            ++FY;
        else
            FRows.append(QString(FColumns, QLatin1Char(' '))), FRows.removeFirst();
    }
    const int FColumns;
    QStringList FRows;
    int FX = 0, FY = 0;
};

TEST(CliTerminal, EightCalibrationsFitTheWidthInTheOrderGiven)
{
    for (const int columns : {80, 40}) {
        SCOPED_TRACE(columns);
        std::vector<std::unique_ptr<TSimulatedSensor>> sensors;
        for (int i = 0; i < 8; ++i)
            sensors.push_back(std::make_unique<TSimulatedSensor>());
        QStringList ports;
        for (auto it = sensors.rbegin(); it != sensors.rend(); ++it) // not the sorted order
            ports << (*it)->Path();

        TPtyPair terminal;
        winsize size{};
        size.ws_col = quint16(columns);
        size.ws_row = 24;
        ASSERT_EQ(::ioctl(terminal.Master(), TIOCSWINSZ, &size), 0);
        const QByteArray path = terminal.SlavePath().toLocal8Bit();
        const TCliRun run = RunCli(QStringList{QStringLiteral("calibrate"), QStringLiteral("on")} + ports
                                       + QStringList{QStringLiteral("--time"), QStringLiteral("900"),
                                                     QStringLiteral("--inert"), QStringLiteral("100")},
                                   [&](QProcess &p) {
                                       p.setChildProcessModifier([path] {
                                           const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
                                           termios t{};
                                           tcgetattr(fd, &t);
                                           t.c_oflag |= OPOST | ONLCR; // as a terminal window has it
                                           tcsetattr(fd, TCSANOW, &t);
                                           ::dup2(fd, STDERR_FILENO);
                                       });
                                   });
        EXPECT_EQ(run.Code, ExitOk) << run.Out.toStdString();
        QByteArray shown;
        char buf[4096];
        for (pollfd p{terminal.Master(), POLLIN, 0}; poll(&p, 1, 200) > 0;) {
            const ssize_t n = ::read(terminal.Master(), buf, sizeof buf);
            if (n <= 0)
                break;
            shown.append(buf, n);
        }

        TScreen screen(columns, 24);
        int mostRows = 0;
        bool ordered = true;
        screen.Feed(QString::fromUtf8(shown), [&] {
            std::vector<qsizetype> order;
            for (const QString &row : screen.Rows())
                for (qsizetype i = 0; i < ports.size(); ++i)
                    if (row.contains(ports[i] + QLatin1Char(' ')))
                        order.push_back(i);
            mostRows = std::max(mostRows, int(order.size()));
            ordered = ordered && std::is_sorted(order.begin(), order.end());
        });
        EXPECT_EQ(screen.Wraps, 0) << shown.constData();
        EXPECT_EQ(mostRows, 8) << shown.constData();
        EXPECT_TRUE(ordered);
        EXPECT_TRUE(screen.Rows().filter(QStringLiteral("calibrating")).isEmpty()) << screen.Rows().join('\n').toStdString();
        EXPECT_TRUE(screen.Rows().filter(QStringLiteral(" of 0.9 s")).isEmpty());
    }
}

} // namespace

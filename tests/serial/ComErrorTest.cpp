// Error codes, messages and the exception handler path.

#include "TestSupport.h"

#include "serial/ComPort.h"

#include <cerrno>

TEST(ComError, MessagesCarryTheErrnoOnlyWhenThereIsOne)
{
    EComPort withCode(1, 2);
    EXPECT_EQ(withCode.Message(), "Unable to open com port (Error: 2)");
    EXPECT_EQ(withCode.Code(), 1);
    EXPECT_EQ(withCode.WinCode(), 2);

    EComPort plain = EComPort::CreateNoWinCode(14);
    EXPECT_EQ(plain.Message(), "Cannot set property while connected");
    EXPECT_EQ(plain.WinCode(), -1);
    EXPECT_EQ(ComErrorText(24), "Port Not Open");
    EXPECT_EQ(ComErrorText(22), "A component is linked to OnRxBuf event");
    EXPECT_TRUE(ComErrorText(25).isEmpty());
    EXPECT_TRUE(ComErrorText(0).isEmpty());
}

TEST(ComError, ErrorSetText)
{
    EXPECT_EQ(ComErrorsToStr({}), "<Ok>");
    EXPECT_EQ(ComErrorsToStr({ceTxFull, ceFrame}), "<ComError:Frame,TxFull>");
    EXPECT_EQ(ComErrorsToStr(TComErrors::FromBits(0xFF)),
              "<ComError:Frame,Parity,Overrun,Break,IO,Mode,RxOver,TxFull>");
}

TEST(ComError, MissingDeviceAndClosedPort)
{
    TComPort port;
    EXPECT_EQ(port.Port(), "COM1");
    EComPort open = ExpectComError([&] { port.Open(); });
    EXPECT_EQ(open.Code(), 1);
    EXPECT_EQ(open.WinCode(), ENOENT);
    EXPECT_EQ(open.Message(), "Unable to open com port (Error: 2)");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);

    char byte = 0;
    for (auto action : {std::function<void()>([&] { port.Read(&byte, 1); }),
                        std::function<void()>([&] { port.Write(&byte, 1); })}) {
        EComPort e = ExpectComError(action);
        EXPECT_EQ(e.Code(), 24);
        EXPECT_EQ(e.WinCode(), -1);
        EXPECT_EQ(e.Message(), "Port Not Open");
    }
}

TEST(ComError, HandlerReceivesTheFactsInsteadOfARaise)
{
    struct Report {
        TComExceptions Kind;
        QString Text;
        qint64 WinError;
        QString WinMessage;
    };
    std::vector<Report> reports;
    TComPort port;
    port.SetPort(QStringLiteral("/dev/tq-no-such-port"));
    port.OnException = [&](QObject *Sender, TComExceptions Kind, const QString &Text,
                           qint64 WinError, const QString &WinMessage) {
        EXPECT_EQ(Sender, &port);
        reports.push_back({Kind, Text, WinError, WinMessage});
    };
    char byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), 0);
    port.Open();
    EXPECT_FALSE(port.Connected()); // nothing to configure after a swallowed open failure
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].Kind, CEPortNotOpen);
    EXPECT_EQ(reports[0].Text, "Port Not Open");
    EXPECT_EQ(reports[0].WinError, -24);
    EXPECT_TRUE(reports[0].WinMessage.isEmpty());
    EXPECT_EQ(reports[1].Kind, CE_OpenFailed);
    EXPECT_EQ(reports[1].WinError, ENOENT);
    EXPECT_TRUE(reports[1].WinMessage.startsWith("System Error.  Code: 2.\r\n"));
    EXPECT_GT(reports[1].WinMessage.size(), 26);
}

TEST(ComError, MissingAsyncRecord)
{
    TComPort port;
    PAsync none = nullptr;
    char byte = 0;
    EXPECT_EQ(ExpectComError([&] { port.ReadAsync(&byte, 1, none); }).Code(), 4);
    EXPECT_EQ(ExpectComError([&] { port.WriteAsync(&byte, 1, none); }).Code(), 4);
    EXPECT_EQ(ExpectComError([&] { port.WaitForAsync(none); }).Code(), 4);
    EComPort e = ExpectComError([&] { port.IsAsyncCompleted(none); });
    EXPECT_EQ(e.Code(), 4);
    EXPECT_EQ(e.WinCode(), -1);
}

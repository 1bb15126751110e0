#include "tests/serial/PtyPair.h"

#include <QProcess>
#include <gtest/gtest.h>

// The example as its reader will try it: a line goes out on the port, the answer is printed.
TEST(EchoLineExample, WritesALineAndPrintsTheAnswer)
{
    PtyPair line;
    QProcess example;
    example.start(QStringLiteral(TQ_ECHO_LINE), {line.Slave(), QStringLiteral("PING 1")});
    ASSERT_TRUE(example.waitForStarted());
    EXPECT_EQ(line.Receive(5000), "PING 1\n");
    line.Send("PONG 1\n");
    ASSERT_TRUE(example.waitForFinished(10000));
    EXPECT_EQ(example.exitCode(), 0) << example.readAllStandardError().toStdString();
    EXPECT_EQ(example.readAllStandardOutput(), "PONG 1\n");
}

TEST(EchoLineExample, SaysSoWhenNothingComesBackOrThePortIsMissing)
{
    PtyPair line;
    QProcess silent;
    silent.start(QStringLiteral(TQ_ECHO_LINE), {line.Slave()});
    ASSERT_TRUE(silent.waitForFinished(10000));
    EXPECT_EQ(silent.exitCode(), 1);
    EXPECT_TRUE(silent.readAllStandardError().contains("no answer"));

    QProcess missing;
    missing.start(QStringLiteral(TQ_ECHO_LINE), {QStringLiteral("/dev/tq-no-such-port")});
    ASSERT_TRUE(missing.waitForFinished(10000));
    EXPECT_EQ(missing.exitCode(), 1);
    const QByteArray error = missing.readAllStandardError();
    EXPECT_TRUE(error.startsWith("tq-echo-line: ") && error.size() > 20) << error.toStdString();
}

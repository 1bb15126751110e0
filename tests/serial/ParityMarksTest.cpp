// Bytes received in error: the terminal's marks decoded by the port's rule.

#include "PtyPair.h"
#include "TestSupport.h"

#include "serial/unix/ParityMarks.h"

#include <string>

namespace {
std::string Decode(TParityMarkDecoder &D, std::string In)
{
    const int n = D.Decode(In.data(), int(In.size()));
    return In.substr(0, size_t(n));
}
} // namespace

TEST(ParityMarks, ABadByteIsKeptOrReplacedAndATrue0xFFSurvives)
{
    const std::string marked("a\xFF\x00Xb\xFF\xFF" "c\xFF\x00\x00", 11);
    TParityMarkDecoder keep;
    EXPECT_EQ(Decode(keep, marked), std::string("aXb\xFF" "c\x00", 6));
    TParityMarkDecoder replace;
    replace.SetRule(true, '?');
    EXPECT_EQ(Decode(replace, marked), "a?b\xFF" "c?");
}

TEST(ParityMarks, AMarkCutBetweenReadsIsFinishedByTheNext)
{
    TParityMarkDecoder d;
    d.SetRule(true, '#');
    EXPECT_EQ(Decode(d, "ab\xFF"), "ab");
    EXPECT_EQ(d.Held(), 1);
    EXPECT_EQ(Decode(d, std::string("\x00", 1)), "");
    EXPECT_EQ(d.Held(), 2);
    EXPECT_EQ(Decode(d, "Zc"), "#c");
    EXPECT_EQ(Decode(d, "\xFF"), "");
    EXPECT_EQ(Decode(d, "\xFF"), "\xFF");
    EXPECT_EQ(d.Held(), 0);
    // Input no terminal makes never overflows the buffer: what does not fit waits.
    EXPECT_EQ(Decode(d, "\xFF"), "");
    EXPECT_EQ(Decode(d, "ab"), "\xFF" "a");
    EXPECT_EQ(Decode(d, "c"), "b");
    d.Reset();
    EXPECT_EQ(Decode(d, "c"), "c");
}

TEST(ParityMarks, CheckedInputThroughATerminalReadsAsSent)
{
    // The terminal doubles each 0xFF it receives while it marks errors; the port undoes it.
    PtyPair pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar(QLatin1Char('?'));
    port.Open();
    const std::string sent("a\xFF\x00Zb\xFF", 6);
    pty.Send(sent);
    ASSERT_TRUE(WaitQueued(port, 7));
    char buf[16] = {};
    std::string got;
    for (int i = 0; i < 20 && got.size() < sent.size(); ++i)
        got.append(buf, size_t(port.Read(buf, sizeof buf)));
    EXPECT_EQ(got, sent);
    port.Close();
}

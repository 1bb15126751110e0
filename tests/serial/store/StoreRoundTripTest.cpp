// A bounded random search for stores whose rewrite loses or moves a line: hand-made stores
// mutated with the bytes that ini syntax turns on.

#include "StoreRoundTrip.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray Seeds[] = {
    "",
    "[Software\\BrenholtGroup\\TQ_DEV\\ComPort\\cpCOM]\nPort=sz:ttyS0\nBaudRate=sz:9600\n",
    "; kept\n[Software\\Other]\nName=sz:value\n\n[software\\brenholtgroup\\tq_dev\\comport\\CPCOM]\n"
    "port=sz:old\nExtra=dword:1\n; last words\n",
    "\xEF\xBB\xBF; header\n\n[First]\nKey=1\nKey=2\n; about cpcom\n[CPCOM]\nport=old\nmine=\xC0\xC1 bytes\n",
    "[cpCOM]\r\nPort=ttyS1\r\nBuffer.InputSize=0x10\r\n\r\n[Other]\r\n# hash comment\r\nx=\r\n",
};
const char Interesting[] = {'\n', '\r', '[', ']', '=', ';', '#', ' ', '\t', '\0', '%', char(0xE9), 'x'};

QByteArray Mutated(QByteArray Bytes, QRandomGenerator &Random)
{
    const int edits = int(Random.bounded(1, 5));
    for (int i = 0; i < edits; ++i) {
        const qsizetype at = Bytes.isEmpty() ? 0 : Random.bounded(qint64(Bytes.size()) + 1);
        const char c = Random.bounded(4) == 0 ? char(Random.bounded(256))
                                              : Interesting[Random.bounded(int(sizeof Interesting))];
        switch (Random.bounded(3)) {
        case 0:
            Bytes.insert(at, c);
            break;
        case 1:
            if (at < Bytes.size())
                Bytes[at] = c;
            break;
        default:
            Bytes.remove(at, Random.bounded(1, 4));
        }
    }
    return Bytes;
}

TEST(StoreRoundTrip, RandomStoresKeepTheirLinesOrAreRefusedWhole)
{
    QTemporaryDir dir(ScratchTemplate());
    ASSERT_TRUE(dir.isValid());
    const QByteArray oldHome = qgetenv("XDG_CONFIG_HOME");
    QRandomGenerator random(20261209);
    int checked = 0;
    for (const QByteArray &seed : Seeds)
        for (int round = 0; round < 400; ++round) {
            const QByteArray file = round == 0 ? seed : Mutated(seed, random);
            for (TStoreType kind : {stRegistry, stIniFile}) {
                const QString fault = StoreRoundTripFault(file, kind, dir.path());
                ASSERT_TRUE(fault.isEmpty()) << (kind == stRegistry ? "store" : "ini file") << ": "
                                             << fault.toStdString() << "\ninput: "
                                             << file.toPercentEncoding(" []=;#\n").constData();
                ++checked;
            }
        }
    qputenv("XDG_CONFIG_HOME", oldHome);
    EXPECT_EQ(checked, 4000);
}

} // namespace

// A bounded random search for stores whose rewrite loses or moves a line: the fuzz target's
// seed stores mutated with the bytes that ini syntax turns on.

#include "StoreRoundTrip.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

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
    const QDir seeds(QStringLiteral(TQ_STORE_SEEDS));
    const QStringList names = seeds.entryList(QDir::Files);
    ASSERT_GE(names.size(), 5);
    int checked = 0;
    for (const QString &name : names) {
        QFile f(seeds.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray seed = f.readAll();
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
    }
    qputenv("XDG_CONFIG_HOME", oldHome);
    EXPECT_EQ(checked, 800 * names.size());
}

} // namespace

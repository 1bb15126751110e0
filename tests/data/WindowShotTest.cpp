#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The README's picture is drawn from the real window: it must show the whole client area
// with its controls, not an empty frame.
TEST(WindowShot, DrawsTheWholeWindowWithItsControls)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("shot.png"));
    QProcess shot;
    // Under ThreadSanitizer the whole GUI run reports the hand-overs of Qt's own thread pool,
    // which Debian's Qt hides from the tool; the window's threading is checked by its own tests.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TSAN_OPTIONS"),
                       environment.value(QStringLiteral("TSAN_OPTIONS")) + QStringLiteral(" report_bugs=0"));
    shot.setProcessEnvironment(environment);
    shot.start(QStringLiteral(TQ_WINDOW_SHOT), {out});
    ASSERT_TRUE(shot.waitForFinished(60000));
    ASSERT_EQ(shot.exitCode(), 0) << shot.readAllStandardError().toStdString();

    const QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(499, 191));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 40) << "the window looks empty";

    // The committed picture is of the same window.
    const QImage committed(QStringLiteral(TQ_SOURCE_DIR "/docs/screenshot.png"));
    EXPECT_EQ(committed.size(), image.size());
}

TEST(WindowShot, ReportsAnUnwritableTarget)
{
    QProcess shot;
    shot.start(QStringLiteral(TQ_WINDOW_SHOT), {QStringLiteral("/nonexistent-dir/shot.png")});
    ASSERT_TRUE(shot.waitForFinished(60000));
    EXPECT_NE(shot.exitCode(), 0);
    EXPECT_TRUE(shot.readAllStandardError().contains("cannot write"));
}

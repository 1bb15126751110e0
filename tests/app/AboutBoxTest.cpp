// The About box's lines, as the box wraps them at any width it may get.
#include "TestSupport.h"

#include "app/AboutBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

/// The lines of a plain text wrapped at width, as a word-wrapping label breaks them; joiners
/// are dropped and fixed blanks read as blanks, so the lines compare with ordinary text.
QStringList WrappedLines(const QString &text, int width)
{
    QTextDocument document;
    document.setDefaultFont(QApplication::font());
    document.setDocumentMargin(0);
    document.setPlainText(text);
    document.setTextWidth(width);
    (void)document.size(); // lays the text out
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines << block.text().mid(line.textStart(), line.textLength()).remove(QChar(0x2060)).replace(QChar::Nbsp, u' ');
        }
    }
    return lines;
}

TEST(AboutBox, LinesNeverBreakInsideAnAddress)
{
    const QStringList addresses = {QStringLiteral("tq-support@example.org"), QStringLiteral("+7 (000) 000-00-00")};
    const QFontMetrics metrics(QApplication::font());
    int narrowest = 0; // a label is never narrower than its widest word
    for (const QString &address : addresses)
        narrowest = qMax(narrowest, metrics.horizontalAdvance(address) + 4);

    TMessageRecorder boxes;
    ShowAboutBox(QStringLiteral("/nonexistent/program"));
    ASSERT_EQ(boxes.Calls.size(), 1u);
    for (const QString &text : {AboutText(QStringLiteral("1.0.0.2")), boxes.Calls[0].Text}) {
        for (int width = narrowest; width <= 900; width += 3) {
            const QStringList lines = WrappedLines(text, width);
            for (const QString &address : addresses) {
                const bool whole = std::any_of(lines.begin(), lines.end(), [&](const QString &line) { return line.contains(address); });
                EXPECT_TRUE(whole) << address.toStdString() << " at " << width << " px:\n"
                                   << lines.join(u'|').toStdString();
            }
        }
    }
}

} // namespace

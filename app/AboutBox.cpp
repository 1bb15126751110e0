#include "app/AboutBox.h"

#include "app/MessageBox.h"
#include "app/Version.h"

#include <memory>

namespace {

const char *const productLine = "Конфигуратор ёмкостного датчика уровня Brenholt Level Sensor.";
const char *const creditLine = "Разработка: группа разработчиков TQ, 2024.";
const char *const mailAddress = "tq-support@example.org";
const char *const phoneNumber = "+7 (000) 000-00-00";

/// An address as one unbreakable word: the box wraps long lines, and a line break at a blank
/// or after a hyphen would cut it in two.
QString Unbreakable(const char *address)
{
    QString text = QString::fromUtf8(address);
    text.replace(u' ', QChar::Nbsp);
    text.replace(u'-', QStringLiteral("-\u2060")); // a word joiner keeps what follows on the line
    return text;
}

QString ContactLines()
{
    return QStringLiteral("Предложения и сообщения об ошибках присылайте по адресу %1\nили по телефону %2.")
        .arg(Unbreakable(mailAddress), Unbreakable(phoneNumber));
}

} // namespace

QString AboutText(const QString &fileVersion)
{
    return QString::fromUtf8(productLine) + u'\n' + QStringLiteral("Версия %1.").arg(fileVersion) + u' '
        + QString::fromUtf8(creditLine) + u'\n' + ContactLines();
}

QString AboutFallbackText()
{
    return QString::fromUtf8(productLine) + u'\n' + QString::fromUtf8(creditLine) + u'\n'
        + ContactLines();
}

void ShowAboutBox(const QString &programFile)
{
    QString text;
    try {
        const auto info = programFile.isEmpty() ? std::make_unique<version>() : std::make_unique<version>(programFile);
        text = AboutText(info->FileVersion());
    } catch (...) {
        // The reader's own message means nothing to the user; the box is shown without a version.
        text = AboutFallbackText();
    }
    ShowMessageBox(text, QStringLiteral("О программе"), QMessageBox::Information);
}

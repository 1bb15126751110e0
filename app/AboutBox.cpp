#include "app/AboutBox.h"

#include "app/MessageBox.h"
#include "app/Version.h"

#include <memory>

namespace {

const char *const productLine = "Конфигуратор ёмкостного датчика уровня Brenholt Level Sensor.";
const char *const creditLine = "Разработка: группа разработчиков TQ, 2024.";
const char *const contactLines = "Предложения и сообщения об ошибках присылайте по адресу tq-support@example.org\n"
                                 "или по телефону +7 (000) 000-00-00.";

} // namespace

QString AboutText(const QString &fileVersion)
{
    return QString::fromUtf8(productLine) + u'\n' + QStringLiteral("Версия %1.").arg(fileVersion) + u' '
        + QString::fromUtf8(creditLine) + u'\n' + QString::fromUtf8(contactLines);
}

QString AboutFallbackText()
{
    return QString::fromUtf8(productLine) + u'\n' + QString::fromUtf8(creditLine) + u'\n'
        + QString::fromUtf8(contactLines);
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

#include "app/SettingsFile.h"

#include "app/FieldDisplay.h"
#include "app/MessageBox.h"
#include "protocol/SettingsImage.h"

#include <QLineEdit>

namespace {

void ShowFileError(const QString &text)
{
    if (!text.isEmpty())
        ShowMessageBox(text, QStringLiteral("Ошибка"), QMessageBox::Critical);
}

} // namespace

QByteArray SettingsFileBytes(const TSettingsFields &fields)
{
    TSettingsTexts texts;
    for (size_t i = 0; i < fields.size(); ++i)
        texts[i] = fields[i]->text();
    return SettingsImage(texts);
}

void SaveSettingsFile(const QString &path, const TSettingsFields &fields)
{
    const QByteArray bytes = SettingsFileBytes(fields);
    ShowFileError(WriteSettingsImage(path, bytes));
}

void LoadSettingsFile(const QString &path, const TSettingsFields &fields)
{
    TSettingsTexts texts;
    size_t count = 0;
    const QString failure = ReadSettingsImage(path, texts, count);
    // A file that ends early fills the fields before the break.
    for (size_t i = 0; i < count; ++i)
        ShowFieldText(fields[i], texts[i]);
    ShowFileError(failure);
}

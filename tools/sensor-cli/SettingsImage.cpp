#include "tools/sensor-cli/SettingsImage.h"

#include "protocol/SettingsImage.h"

QString LoadSettingsImage(const QString &path, TFieldTexts &texts)
{
    TSettingsTexts read;
    size_t count = 0;
    const QString failure = ReadSettingsImage(path, read, count);
    // A tool sends nothing from half a file: all seven values or none.
    if (!failure.isEmpty())
        return failure;
    for (size_t i = 0; i < read.size(); ++i)
        texts[SettingsFileOrder[i]] = read[i];
    return {};
}

QString SaveSettingsImage(const QString &path, const TFieldTexts &texts)
{
    TSettingsTexts image;
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = texts[SettingsFileOrder[i]];
    return WriteSettingsImage(path, SettingsImage(image));
}

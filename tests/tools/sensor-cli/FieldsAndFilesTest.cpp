// The tool's field names, value checks and settings files, against the window's own files.
#include "app/SettingsFile.h"
#include "tools/sensor-cli/SensorFields.h"
#include "tools/sensor-cli/SettingsImage.h"

#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

/// Seven edit boxes in the window's file order, as SaveSettingsFile and LoadSettingsFile take them.
struct WindowFields {
    WindowFields()
    {
        for (size_t i = 0; i < boxes.size(); ++i) {
            owned[i] = std::make_unique<QLineEdit>();
            boxes[i] = owned[i].get();
        }
    }
    std::array<std::unique_ptr<QLineEdit>, 7> owned;
    TSettingsFields boxes{};
};

// cal_on, cal_off, averaging_time, calib_inertia, work_inertia, input_filter, hysteresis
constexpr std::array<TDeviceField, 7> WindowOrder = {dfCalOn, dfCalOff, dfCalTime, dfInertCalib,
                                                     dfInertWork, dfInpFlt, dfHystWidth};

TEST(CliSettingsFile, TheWindowAndTheToolReadEachOthersFiles)
{
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    const QString fromWindow = dir.filePath(QStringLiteral("window.tqx"));
    WindowFields window;
    const QStringList texts{"-1", "65535", "25000", "100", "7", "70000", "0.100000001490116"};
    for (int i = 0; i < 7; ++i)
        window.boxes[size_t(i)]->setText(texts[i]);
    SaveSettingsFile(fromWindow, window.boxes);

    TFieldTexts loaded;
    ASSERT_EQ(LoadSettingsImage(fromWindow, loaded), QString());
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(loaded[WindowOrder[i]], texts[qsizetype(i)]) << i;

    const QString fromTool = dir.filePath(QStringLiteral("tool.tqx"));
    ASSERT_EQ(SaveSettingsImage(fromTool, loaded), QString());
    QFile a(fromWindow), b(fromTool);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), a.readAll());

    WindowFields back;
    LoadSettingsFile(fromTool, back.boxes);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(back.boxes[i]->text(), texts[qsizetype(i)]);
}

TEST(CliSettingsFile, AFailedLoadLeavesTheValuesAlone)
{
    QTemporaryDir dir;
    TFieldTexts texts;
    texts[dfInertWork] = QStringLiteral("keep");
    EXPECT_EQ(LoadSettingsImage(dir.filePath(QStringLiteral("none.tqx")), texts), QStringLiteral("Невозможно открыть файл для чтения"));
    const QString path = dir.filePath(QStringLiteral("short.tqx"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("TQ_CONF\0\1\0\0\0", 12));
    f.close();
    EXPECT_EQ(LoadSettingsImage(path, texts), QStringLiteral("Ошибка чтения из файла."));
    EXPECT_EQ(texts[dfInertWork], QStringLiteral("keep"));
    EXPECT_EQ(texts[dfCalOn], QString());
}

TEST(CliFields, NamesAndWhatTheSensorCanBeSentUnchanged)
{
    for (TDeviceField field : AllFields)
        EXPECT_EQ(FieldByName(FieldName(field)), field);
    EXPECT_FALSE(FieldByName(QStringLiteral("Hysteresis")).has_value());

    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(CheckSendable(dfCalTime, QStringLiteral("65535")), QString());
    EXPECT_EQ(CheckSendable(dfCalTime, QStringLiteral("0")), QString());
    EXPECT_NE(CheckSendable(dfCalTime, QStringLiteral("65536")), QString());
    EXPECT_NE(CheckSendable(dfCalTime, QStringLiteral("-1")), QString());
    EXPECT_NE(CheckSendable(dfCalTime, QStringLiteral("")), QString());
    EXPECT_NE(CheckSendable(dfCalTime, QStringLiteral("1.5")), QString());
    EXPECT_EQ(CheckSendable(dfHystWidth, QStringLiteral("7.5")), QString());
    EXPECT_NE(CheckSendable(dfHystWidth, QStringLiteral("NAN")), QString());
    EXPECT_NE(CheckSendable(dfHystWidth, QStringLiteral("-INF")), QString());
    EXPECT_NE(CheckSendable(dfHystWidth, QStringLiteral("1e39")), QString());

    // The user's locale decides the separator, as in the window.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(CheckSendable(dfHystWidth, QStringLiteral("7,5")), QString());
    EXPECT_TRUE(SameValue(dfHystWidth, QStringLiteral("0,1"), QStringLiteral("0,100000001490116")));
    EXPECT_FALSE(SameValue(dfHystWidth, QStringLiteral("0,1"), QStringLiteral("0,2")));
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(SameValue(dfInertWork, QStringLiteral("007"), QStringLiteral("7")));
    EXPECT_FALSE(SameValue(dfInertWork, QStringLiteral("2"), QStringLiteral("5")));
}

} // namespace

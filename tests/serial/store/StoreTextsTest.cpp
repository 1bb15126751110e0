// Text forms of Booleans, characters and the RTS/DTR modes.

#include "serial/store/StoreTexts_p.h"

#include <gtest/gtest.h>

namespace {
TEST(StoreTexts, BooleansReadTrueOnlyForYesInAnyCase)
{
    EXPECT_EQ(BoolToStoreText(true), QStringLiteral("Yes"));
    EXPECT_EQ(BoolToStoreText(false), QStringLiteral("No"));
    for (const char *yes : {"yes", "YES", "Yes", "yEs"})
        EXPECT_TRUE(StoreTextToBool(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"true", "1", "", "No", " yes", "yess"})
        EXPECT_FALSE(StoreTextToBool(QString::fromLatin1(no))) << no;
}

TEST(StoreTexts, CharactersArePrintableOrADecimalCode)
{
    EXPECT_EQ(CharToStoreText(QChar(17)), QStringLiteral("#17"));
    EXPECT_EQ(CharToStoreText(QChar(19)), QStringLiteral("#19"));
    EXPECT_EQ(CharToStoreText(QChar(0)), QStringLiteral("#0"));
    EXPECT_EQ(CharToStoreText(QChar(u' ')), QStringLiteral("#32"));
    EXPECT_EQ(CharToStoreText(QChar(u'!')), QStringLiteral("!"));
    EXPECT_EQ(CharToStoreText(QChar(0x7F)), QString(QChar(0x7F)));
    EXPECT_EQ(CharToStoreText(QChar(0x80)), QStringLiteral("#128"));
    EXPECT_EQ(CharToStoreText(QChar(300)), QStringLiteral("#300"));

    EXPECT_EQ(StoreTextToChar(QStringLiteral("#300")), QChar(44));
    EXPECT_EQ(StoreTextToChar(QStringLiteral("#17")), QChar(17));
    EXPECT_EQ(StoreTextToChar(QStringLiteral("#")), QChar(u'#'));
    EXPECT_EQ(StoreTextToChar(QStringLiteral("#x")), QChar(0));
    EXPECT_EQ(StoreTextToChar(QString()), QChar(0));
    EXPECT_EQ(StoreTextToChar(QStringLiteral("Abc")), QChar(u'A'));
}

TEST(StoreTexts, ModesMatchWithoutCaseAndFallBackToDisable)
{
    EXPECT_EQ(RTSToStoreText(rtsToggle), QStringLiteral("Toggle"));
    EXPECT_EQ(DTRToStoreText(dtrHandshake), QStringLiteral("Handshake"));
    EXPECT_EQ(StoreTextToRTS(QStringLiteral("toggle")), rtsToggle);
    EXPECT_EQ(StoreTextToRTS(QStringLiteral("ENABLE")), rtsEnable);
    EXPECT_EQ(StoreTextToRTS(QStringLiteral("On")), rtsDisable);
    EXPECT_EQ(StoreTextToDTR(QStringLiteral("handshake")), dtrHandshake);
    EXPECT_EQ(StoreTextToDTR(QStringLiteral("Toggle")), dtrDisable); // RTS only
}
} // namespace

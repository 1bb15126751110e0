#include "protocol/FieldText.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <bit>

#include <cmath>
#include <cstring>
#include <random>

// Readable failure output for texts.
void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Runs each test under a given default locale and puts the previous one back.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale &l) : saved(QLocale()) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(saved); }

private:
    QLocale saved;
};

const QLocale comma(QLocale::Russian, QLocale::Russia);
const QLocale point(QLocale::C);

QString convertError(auto &&fn)
{
    try {
        fn();
    } catch (const EConvertError &e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(FieldText, IntegerTextsThatConvert)
{
    EXPECT_EQ(StrToInt("25"), 25);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("  -12"), -12);
    EXPECT_EQ(StrToInt("+5"), 5);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<qint32>::min());
}

TEST(FieldText, IntegerTextsThatFailNameTheText)
{
    EXPECT_EQ(convertError([] { StrToInt(""); }), "'' is not a valid integer value");
    EXPECT_EQ(convertError([] { StrToInt("99999999999"); }), "'99999999999' is not a valid integer value");
    for (const char *bad : {"2147483648", "-2147483649", "12 ", "1a", "-", " ", "1.0", "+-1", "٣"})
        EXPECT_NE(convertError([&] { StrToInt(bad); }), "<no error>") << bad;
}

TEST(FieldText, RealTextsFollowTheLocaleSeparator)
{
    {
        LocaleScope scope(comma);
        EXPECT_EQ(double(StrToFloat("5,5")), 5.5);
        EXPECT_EQ(double(StrToFloat(" 1,5e2 ")), 150.0);
        EXPECT_EQ(convertError([] { StrToFloat("5.5"); }), "'5.5' is not a valid floating point value");
    }
    {
        LocaleScope scope(point);
        EXPECT_EQ(double(StrToFloat("5.5")), 5.5);
        EXPECT_EQ(double(StrToFloat("-2E-3")), -0.002);
        EXPECT_EQ(convertError([] { StrToFloat("5,5"); }), "'5,5' is not a valid floating point value");
    }
    for (const char *bad : {"", "e5", "1e", "1e+", "--1", "1 2", ".", "0x10"})
        EXPECT_NE(convertError([&] { StrToFloat(bad); }), "<no error>") << bad;
    // A value just above a single-precision bound must not be narrowed before comparing.
    LocaleScope scope(comma);
    EXPECT_GT(StrToFloat("50,0001"), 50.0L);
}

TEST(FieldText, IntegerFormats)
{
    EXPECT_EQ(FormatU16(0), "0");
    EXPECT_EQ(FormatU16(65535), "65535");
    EXPECT_EQ(FormatInt(-1), "-1");
    EXPECT_EQ(FormatInt(std::numeric_limits<qint32>::min()), "-2147483648");
}

TEST(FieldText, RealFormatInBothLocales)
{
    {
        LocaleScope scope(comma);
        EXPECT_EQ(FormatReal(5.0f), "5");
        EXPECT_EQ(FormatReal(2.5f), "2,5");
        EXPECT_EQ(FormatReal(2.3f), "2,29999995231628");
        EXPECT_EQ(FormatReal(0.1f), "0,100000001490116");
        EXPECT_EQ(FormatReal(-0.5f), "-0,5");
        EXPECT_EQ(FormatReal(1.5e-7f), "1,50000005305628E-7");
        EXPECT_EQ(FormatReal(-0.0f), "-0");
    }
    LocaleScope scope(point);
    EXPECT_EQ(FormatReal(2.3f), "2.29999995231628");
    EXPECT_EQ(FormatReal(0.0f), "0");
    EXPECT_EQ(FormatReal(50.0f), "50");
    EXPECT_EQ(FormatReal(1e20f), "1.00000002004088E20");
    EXPECT_EQ(FormatReal(123456.0f), "123456");
    EXPECT_EQ(FormatReal(0.00002f), "0.0000199999994947575");
}

TEST(FieldText, NanTextsNameTheirPatternUnlessPlain)
{
    EXPECT_EQ(FormatReal(std::bit_cast<float>(0x7FC00000u)), "NAN");
    EXPECT_EQ(FormatReal(std::bit_cast<float>(0xFFC00000u)), "NAN(0xFFC00000)");
    EXPECT_EQ(FormatReal(std::bit_cast<float>(0x7F800001u)), "NAN(0x7F800001)");
    EXPECT_TRUE(std::isnan(StrToFloat(" nan(0xffc00000) ")));
    // Only NaN patterns: an infinity or a number in that form is no field text.
    for (const char *bad : {"NAN(0x7F800000)", "NAN(0x3F800000)", "NAN(0x7FC0000)", "NAN()"})
        EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
}

// Every 32-bit pattern a settings file can hold must survive text and back unchanged, NaNs
// with their sign and payload included.
TEST(FieldText, EverySinglePrecisionPatternRoundTrips)
{
    LocaleScope scope(comma);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<quint32> bits;
    for (int i = 0; i < 200000; ++i) {
        // Zeros, infinities, the plain quiet NaN, a negative one, signalling ones, then any.
        constexpr std::array<quint32, 8> edges{0u,          0x80000000u, 0x7f800000u, 0xff800000u,
                                               0x7fc00000u, 0xffc00000u, 0x7f800001u, 0xffffffffu};
        const quint32 b = i < int(edges.size()) ? edges[size_t(i)] : bits(rng);
        float f;
        std::memcpy(&f, &b, 4);
        const float back = StrToStoredSingle(FormatReal(f));
        quint32 bb;
        std::memcpy(&bb, &back, 4);
        ASSERT_EQ(bb, b) << FormatReal(f).toStdString();
    }
}

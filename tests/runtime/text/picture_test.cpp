#include "runtime/text/picture.h"

#include <gtest/gtest.h>
#include <ostream>

namespace rt {
std::ostream& operator<<(std::ostream& os, const DecimalValue& v) { return os << v.toString(); }
}  // namespace rt

namespace {

using namespace rt;

// Leading minus, point grouping, comma decimal, one place.
constexpr std::string_view kPointGroupedOnePlace = "@n-8.`1";

DecimalValue dec(std::string_view text) { return DecimalValue::parse(text).value(); }

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override { resetSystemFormats(); }
    void TearDown() override { resetSystemFormats(); }
};

TEST_F(PictureTest, Kinds) {
    struct Case {
        std::string_view picture;
        PictureKind kind;
    };
    const Case cases[] = {
        {"@s20", PictureKind::Text},
        {"@S69@", PictureKind::Text},
        {"s160", PictureKind::Text},
        {"@n-14", PictureKind::Number},
        {"@N12.`2", PictureKind::Number},
        {"N_4", PictureKind::Number},
        {"@d17", PictureKind::Date},
        {"@D6", PictureKind::Date},
        {"D17", PictureKind::Date},
        {"@t7", PictureKind::Time},
        {"@T4", PictureKind::Time},
        {"T8", PictureKind::Time},
        {"@pSeite <<<#p", PictureKind::Pattern},
        {"", PictureKind::Invalid},
        {"@x12", PictureKind::Invalid},
    };
    for (const auto& c : cases) EXPECT_EQ(pictureKind(c.picture), c.kind) << c.picture;
}

TEST_F(PictureTest, Widths) {
    struct Case {
        std::string_view picture;
        int width;
    };
    const Case cases[] = {{"@s20", 20},
                          {"@S1", 1},
                          {"@n-14", 14},
                          {"@n_6", 6},
                          {"@n-6.1", 6},
                          {"@d17", 10},
                          {"@d6", 8},
                          {"@d2", 10},
                          {"@t7", 5},
                          {"@t8", 8},
                          {"@t3", 7},
                          {"@t4", 8},
                          {"@pSeite <<<#p", 10},
                          {"@p(###) ###-####p", 14},
                          {"", 0}};
    for (const auto& c : cases) EXPECT_EQ(pictureWidth(c.picture), c.width) << c.picture;
}

struct NumberCase {
    std::string_view value;
    std::string_view picture;
    std::string_view shown;
    std::string_view readBack = {};  // when not the value itself
};

// Shown forms, and each shown form reads back as the value rounded to the picture's places.
const NumberCase kNumbers[] = {
    {"-1234.5", "@n-16.`2", "-1.234,50"},
    {"1234.5", kPointGroupedOnePlace, "1.234,5"},
    {"-1234.5", kPointGroupedOnePlace, "-1.234,5"},
    {"0", kPointGroupedOnePlace, "0,0"},
    {"12345", "@n-14", "12,345"},
    {"-5", "@n-14", "-5"},
    {"1234567", "@n9", "1,234,567"},
    {"1234567", "@n8", "########", "0"},
    {"1234", "@n_6", "1234"},
    {"0", "@n_5", "0"},
    {"1", "@n1", "1"},
    {"255", "@n3", "255"},
    {"12.25", "@n-6.1", "12.3", "12.3"},
    {"-12.25", "@n-6.1", "-12.3", "-12.3"},
    {"-5", "@n8-", "5-"},
    {"5", "@n04", "0005"},
    {"-5", "@n04", "-005"},
    {"5", "@n*6", "*****5"},
    {"-1234.5", "@n(10.2)", "(1,234.50)"},
    {"1234567", "@N12.`2", "1.234.567,00"},
    {"1234", "@N30.@", "1.234"},
    {"1234.5", "@N30.,2@", "1.234,50"},
    {"1234.5", "@n10_.2", "1 234.50"},
    {"123.45", "@n7v2", "12345"},
    {"42", "N3", "42"},
    {"987654321", "@N", "987,654,321"},
};

TEST_F(PictureTest, NumbersFormatAndReadBack) {
    for (const auto& c : kNumbers) {
        const DecimalValue v = dec(c.value);
        EXPECT_EQ(formatPicture(v, c.picture), c.shown) << c.value << " " << c.picture;
        EXPECT_EQ(deformatNumber(c.shown, c.picture), c.readBack.empty() ? v : dec(c.readBack))
            << c.shown << " " << c.picture;
    }
}

TEST_F(PictureTest, NumbersFromIntegersDoublesAndText) {
    EXPECT_EQ(formatPicture(std::int64_t{-1234}, "@n-16.`2"), "-1.234,00");
    EXPECT_EQ(formatPicture(12345, "@n-14"), "12,345");
    EXPECT_EQ(formatPicture(-1234.5, "@n-16.`2"), "-1.234,50");
    EXPECT_EQ(formatPicture(2.675, "@n-10.2"), "2.68");
    EXPECT_EQ(formatPicture(-2.675, "@n-10.2"), "-2.68");
    EXPECT_EQ(formatPicture("1234.5", kPointGroupedOnePlace), "1.234,5");
    EXPECT_EQ(formatPicture("kein Wert", "@n8"), "0");
    EXPECT_EQ(formatPicture(std::int64_t{12}, "@s5"), "12");
    EXPECT_EQ(formatPicture(dec("12.50"), "@s5"), "12.50");
    EXPECT_EQ(formatPicture(50, "N3"), "50");
}

TEST_F(PictureTest, BlankWhenZeroAndOverflow) {
    EXPECT_EQ(formatPicture(0, "@n8b"), "");
    EXPECT_EQ(formatPicture(dec("0.04"), "@n-6.1B"), "");
    EXPECT_EQ(formatPicture(dec("0.05"), "@n-6.1B"), "0.1");
    EXPECT_EQ(formatPicture(dec("1234.5"), "@n-6.1"), "######");
    EXPECT_EQ(formatPicture(1000, "@n3"), "###");
    EXPECT_EQ(formatPicture(12345, "@pSeite <<<#p"), "##########");
    EXPECT_EQ(formatPicture(dec("99999999999999999999999999999999999999"), "@n-10.2"), "##########");
}

TEST_F(PictureTest, UnreadableNumbersGiveZero) {
    for (std::string_view bad : {"abc", "12x", "1,2,3.4.5", "######", "--5", "1.234,5,6", "12.5.", "(5"})
        EXPECT_TRUE(deformatNumber(bad, "@n-14.2").isZero()) << bad;
    EXPECT_TRUE(deformatNumber("", "@n8").isZero());
    EXPECT_TRUE(deformatNumber("   ", kPointGroupedOnePlace).isZero());
    EXPECT_EQ(deformatInt64("12,6", "@n-16.`2"), 13);
    EXPECT_EQ(deformatInt64(" -7 ", "@n_4"), -7);
    EXPECT_EQ(deformatNumber("1234,5", kPointGroupedOnePlace), dec("1234.5"));  // typed without groups
}

TEST_F(PictureTest, TextPictures) {
    EXPECT_EQ(formatPicture("Müller", "@s3"), "Mül");
    EXPECT_EQ(formatPicture("abc", "@s10"), "abc");
    EXPECT_EQ(formatPicture("abc", "@S1"), "a");
    EXPECT_EQ(formatPicture(std::string("Größe"), "@S69@"), "Größe");
    const PictureValue v = deformatPicture("abc ", "@s10");
    EXPECT_TRUE(v.isText);
    EXPECT_EQ(v.text, "abc ");
    EXPECT_FALSE(deformatPicture("12", "@n8").isText);
}

struct DateCase {
    std::string_view picture;
    std::string_view shown;
    std::string_view readBack = {};  // when not the value itself
};

TEST_F(PictureTest, DatesFormatAndReadBack) {
    const DateNumber day = dateFromYmd(2003, 2, 1);
    const DateCase cases[] = {
        {"@d1", "02/01/03"},    {"@d2", "02/01/2003"}, {"@d6", "01.02.03"},     {"@D6", "01.02.03"},
        {"@d17", "01.02.2003"}, {"D17", "01.02.2003"}, {"@d17b", "01.02.2003"}, {"@d18", "Samstag, 1. Februar 2003"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatPicture(std::int64_t{day}, c.picture), c.shown) << c.picture;
        EXPECT_EQ(deformatDate(c.shown, c.picture), day) << c.shown << " " << c.picture;
        EXPECT_EQ(deformatPicture(c.shown, c.picture).number, DecimalValue(day)) << c.picture;
        EXPECT_EQ(formatPicture(0, c.picture), "") << c.picture;
    }
}

TEST_F(PictureTest, DatesReadFromOtherTypings) {
    struct Case {
        std::string_view text, picture;
        DateNumber day;
    };
    const Case cases[] = {
        {"1/2/2003", "@d6", dateFromYmd(2003, 2, 1)},  // day/month/year built by the calendar
        {"1/12/2026", "D6", dateFromYmd(2026, 12, 1)},
        {"010203", "@d6", dateFromYmd(2003, 2, 1)},
        {"01022003", "@d17", dateFromYmd(2003, 2, 1)},
        {"1.2.03", "@d17", dateFromYmd(2003, 2, 1)},
        {"01.02.99", "@d6", dateFromYmd(1999, 2, 1)},
        {" 29.02.2000 ", "@d17", dateFromYmd(2000, 2, 29)},
        {"12/31/1999", "@d2", dateFromYmd(1999, 12, 31)},
        {"1. März 2024", "@d18", dateFromYmd(2024, 3, 1)},
        // unreadable or impossible
        {"29.02.1900", "@d17", 0},
        {"31.02.2003", "@d17", 0},
        {"abc", "@d17", 0},
        {"", "@d17", 0},
        {"1.2", "@d17", 0},
        {"01.02.03.04", "@d6", 0},
        {"13/13/2003", "@d2", 0},
        {"1.2.123456", "@d17", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(deformatDate(c.text, c.picture), c.day) << c.text << " " << c.picture;
}

TEST_F(PictureTest, SystemDateFormatIsOneSetting) {
    const DateNumber day = dateFromYmd(2026, 12, 10);
    EXPECT_EQ(systemDateFormat(), "dd.MM.yyyy");
    setSystemDateFormat("yyyy-MM-dd");
    EXPECT_EQ(formatPicture(std::int64_t{day}, "@d17"), "2026-12-10");
    EXPECT_EQ(deformatDate("2026-12-10", "@d17"), day);
    EXPECT_EQ(formatPicture(std::int64_t{day}, "@d6"), "10.12.26");  // fixed pictures do not follow
    setSystemDateFormat("M/d/yyyy");
    EXPECT_EQ(formatPicture(std::int64_t{day}, "@d17"), "12/10/2026");
    EXPECT_EQ(deformatDate("12/10/2026", "@d17"), day);
}

TEST_F(PictureTest, TimesFormatAndReadBack) {
    const TimeNumber t = timeFromHms(13, 5, 9);
    const DateCase cases[] = {
        {"@t1", "13:05"}, {"@t3", "01:05PM"},  {"@t4", "13:05:09"}, {"@T4", "13:05:09"},
        {"@t7", "13:05"}, {"@t8", "13:05:09"}, {"T8", "13:05:09"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatPicture(std::int64_t{t}, c.picture), c.shown) << c.picture;
        const TimeNumber back = deformatTime(c.shown, c.picture);
        // Pictures without seconds read back to the minute.
        const Hms hms = hmsFromTime(back);
        EXPECT_EQ(hms.hours, 13) << c.shown;
        EXPECT_EQ(hms.minutes, 5) << c.shown;
        EXPECT_EQ(deformatPicture(c.shown, c.picture).number, DecimalValue(back));
        EXPECT_EQ(formatPicture(0, c.picture), "") << c.picture;
    }
    EXPECT_EQ(deformatTime("13:05:09", "@t4"), t);
    EXPECT_EQ(formatPicture(timeFromHms(0, 30), "@t3"), "12:30AM");
    EXPECT_EQ(formatPicture(timeFromHms(12, 0), "@t3"), "12:00PM");
}

TEST_F(PictureTest, TimesReadFromOtherTypings) {
    struct Case {
        std::string_view text, picture;
        TimeNumber time;
    };
    const Case cases[] = {
        {"1305", "@t1", timeFromHms(13, 5)},
        {"8", "@t7", timeFromHms(8, 0)},
        {"12:30am", "@t3", timeFromHms(0, 30)},
        {"1:05 pm", "@t3", timeFromHms(13, 5)},
        {"13.05.09", "@t8", timeFromHms(13, 5, 9)},
        {"25:00", "@t1", 0},
        {"13:61", "@t7", 0},
        {"ab", "@t1", 0},
        {"13PM", "@t3", 0},
        {"", "@t7", 0},
        {"1:2:3:4:5", "@t4", 0},
        {"12:30xm", "@t3", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(deformatTime(c.text, c.picture), c.time) << c.text << " " << c.picture;
}

TEST_F(PictureTest, SystemTimeFormats) {
    setSystemTimeFormat("hh:mm tt", "HH.mm.ss");
    const TimeNumber t = timeFromHms(21, 7, 3);
    EXPECT_EQ(formatPicture(std::int64_t{t}, "@t7"), "09:07 PM");
    EXPECT_EQ(formatPicture(std::int64_t{t}, "@t8"), "21.07.03");
    EXPECT_EQ(deformatTime("09:07 PM", "@t7"), timeFromHms(21, 7));
    resetSystemFormats();
    EXPECT_EQ(formatPicture(std::int64_t{t}, "@t7"), "21:07");
}

TEST_F(PictureTest, Patterns) {
    struct Case {
        std::int64_t value;
        std::string_view picture, shown;
    };
    const Case cases[] = {
        {5, "@pSeite <<<#p", "Seite    5"},           {1234, "@pSeite <<<#p", "Seite 1234"},
        {0, "@pSeite <<<#p", "Seite    0"},           {5551234567, "@p(###) ###-####p", "(555) 123-4567"},
        {42, "@P(###) ###-####P", "(000) 000-0042"},  {7, "@pPage: <<<#p", "Page:    7"},
        {-5, "@p(###) ###-####p", "-(000) 000-0005"},  // the sign is kept in front
        {-12, "@pSeite <<<#p", "-Seite   12"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatPicture(c.value, c.picture), c.shown) << c.value << " " << c.picture;
        EXPECT_EQ(deformatInt64(c.shown, c.picture), c.value) << c.shown;
    }
    EXPECT_EQ(formatPicture("555-123-4567", "@p(###) ###-####p"), "(555) 123-4567");
    EXPECT_EQ(deformatInt64("5551234567", "@p(###) ###-####p"), 5551234567);
    EXPECT_EQ(deformatInt64("Seite 12", "@pSeite <<<#p"), 12);
    EXPECT_EQ(deformatInt64("Seite x", "@pSeite <<<#p"), 0);
    EXPECT_EQ(deformatInt64("abc", "@p(###) ###-####p"), 0);
}

}  // namespace

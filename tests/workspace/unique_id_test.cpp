// Unique ids, base 36, id and folder checks, date-time texts.

#include "workspace/UniqueId.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace orvex;

namespace {

QDateTime Local(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

std::uint64_t FromBase36(std::string_view text)
{
    std::uint64_t value = 0;
    for (char c : text)
        value = value * 36 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    return value;
}

// The local time written into an id: its first 11 characters are the 17-digit
// stamp yyyyMMddhhmmsszzz in base 36 (11 digits for every four-digit year).
QDateTime StampOf(const std::string& id)
{
    const std::string digits = std::to_string(FromBase36(id.substr(0, 11)));
    return QDateTime::fromString(QString::fromStdString(digits), "yyyyMMddhhmmsszzz");
}

} // namespace

TEST(ToBase36, DigitsAndLowercaseLetters)
{
    EXPECT_EQ(ToBase36(0), "0");
    EXPECT_EQ(ToBase36(9), "9");
    EXPECT_EQ(ToBase36(10), "a");
    EXPECT_EQ(ToBase36(35), "z");
    EXPECT_EQ(ToBase36(36), "10");
    EXPECT_EQ(ToBase36(123456789), "21i3v9");
    EXPECT_EQ(ToBase36(20070514134530123ULL), "5hmeiwmdphn");
    EXPECT_EQ(ToBase36(4294967295ULL), "1z141z3");
    EXPECT_EQ(ToBase36(UINT64_MAX), "3w5e11264sgsf");
}

TEST(FormatUniqueId, ExampleOfTheSpec)
{
    // 14 May 2007 13:45:30.123 and tick 123456789: 5hmeiwmdphn + 21i3v9, padded with "0".
    EXPECT_EQ(FormatUniqueId(Local(2007, 5, 14, 13, 45, 30, 123), 123456789),
              "5hmeiwmdphn21i3v900");
}

TEST(FormatUniqueId, PaddedWithZerosTo19)
{
    const std::string id = FormatUniqueId(Local(2007, 5, 14, 13, 45, 30, 123), 0);
    EXPECT_EQ(id, "5hmeiwmdphn00000000");
    EXPECT_EQ(FormatUniqueId(Local(2007, 5, 14, 13, 45, 30, 123), 35), "5hmeiwmdphnz0000000");
}

TEST(FormatUniqueId, LargestTickStillFits)
{
    const std::string id = FormatUniqueId(Local(2007, 5, 14, 13, 45, 30, 123), 4294967295u);
    EXPECT_EQ(id, "5hmeiwmdphn1z141z30");
    EXPECT_TRUE(IsValidId(id));
}

TEST(FormatUniqueId, TimeIsWrittenWithTheTwentyFourHourClockAndZeroPadding)
{
    // 2007-01-02 03:04:05.006 -> 20070102030405006
    EXPECT_EQ(FormatUniqueId(Local(2007, 1, 2, 3, 4, 5, 6), 0).substr(0, 11),
              ToBase36(20070102030405006ULL));
    // 23:59:59.999 on the last day of the year
    EXPECT_EQ(FormatUniqueId(Local(2026, 12, 31, 23, 59, 59, 999), 0).substr(0, 11),
              ToBase36(20261231235959999ULL));
    // Midnight
    EXPECT_EQ(FormatUniqueId(Local(2026, 1, 1, 0, 0, 0, 0), 0).substr(0, 11),
              ToBase36(20260101000000000ULL));
}

TEST(IsValidId, ExactlyNineteenDigitsOrLowercaseLetters)
{
    EXPECT_TRUE(IsValidId("5hmeiwmdphn21i3v900"));
    EXPECT_TRUE(IsValidId("0000000000000000000"));
    EXPECT_TRUE(IsValidId("zzzzzzzzzzzzzzzzzzz"));
    EXPECT_FALSE(IsValidId(""));
    EXPECT_FALSE(IsValidId("5hmeiwmdphn21i3v90"));   // 18
    EXPECT_FALSE(IsValidId("5hmeiwmdphn21i3v9000")); // 20
    EXPECT_FALSE(IsValidId("5HMEIWMDPHN21I3V900"));
    EXPECT_FALSE(IsValidId("5hmeiwmdphn21i3v90 "));
    EXPECT_FALSE(IsValidId("../../../../etc/pass"));
    EXPECT_FALSE(IsValidId("5hmeiwmdphn21i3v/00"));
    EXPECT_FALSE(IsValidId("5hmeiwmdphn21i3v9\xC3\xA9"));
    EXPECT_FALSE(IsValidId(std::string("5hmeiwmdphn21i3v90\0", 19)));
}

TEST(IsValidFolderName, ExactlyEightDecimalDigits)
{
    EXPECT_TRUE(IsValidFolderName("00000000"));
    EXPECT_TRUE(IsValidFolderName("12345678"));
    EXPECT_FALSE(IsValidFolderName("1234567"));
    EXPECT_FALSE(IsValidFolderName("123456789"));
    EXPECT_FALSE(IsValidFolderName("0000000a"));
    EXPECT_FALSE(IsValidFolderName("       7"));
    EXPECT_FALSE(IsValidFolderName("-0000001"));
    EXPECT_FALSE(IsValidFolderName("../00000"));
    EXPECT_FALSE(IsValidFolderName(""));
}

TEST(MakeUniqueId, ManySuccessiveIdsAreDistinctAndValid)
{
    std::set<std::string> seen;
    for (int i = 0; i < 20000; ++i) {
        const std::string id = MakeUniqueId();
        ASSERT_TRUE(IsValidId(id)) << id;
        ASSERT_TRUE(seen.insert(id).second) << "repeated id " << id << " at " << i;
    }
}

TEST(MakeUniqueId, TwoIdsOneAfterTheOtherDiffer)
{
    const std::string a = MakeUniqueId();
    const std::string b = MakeUniqueId();
    EXPECT_NE(a, b);
}

TEST(MakeUniqueId, TimeStampsStrictlyIncreaseAndStayNearTheClock)
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    // Stamps never lag the clock; they run ahead of it only by one millisecond per
    // id made while the clock stood still (earlier tests may have run it ahead).
    const QDateTime first = StampOf(MakeUniqueId());
    ASSERT_TRUE(first.isValid());
    EXPECT_GE(first, before);
    constexpr int kCount = 2000;
    QDateTime previous = first;
    for (int i = 0; i < kCount; ++i) {
        const QDateTime stamp = StampOf(MakeUniqueId());
        ASSERT_TRUE(stamp.isValid());
        ASSERT_GT(stamp, previous) << "a time stamp was reused";
        previous = stamp;
    }
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_LE(previous, std::max(first, now).addMSecs(kCount + 1));
}

TEST(MakeUniqueId, NeverSleeps)
{
    // The original waited 50 ms per id: 200 ids would take 10 s.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i)
        MakeUniqueId();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(MakeUniqueId, IdsMadeOnSeveralThreadsAreDistinct)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kPerThread; ++i)
                made[t].push_back(MakeUniqueId());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> seen;
    for (const auto& ids : made) {
        for (const std::string& id : ids) {
            EXPECT_TRUE(IsValidId(id)) << id;
            EXPECT_TRUE(seen.insert(id).second) << "repeated id " << id;
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kPerThread));
}

TEST(DateTimeText, ExampleOfTheSpec)
{
    EXPECT_EQ(DateTimeText(Local(2007, 2, 1, 9, 5, 3)), "02/01/2007 09:05:03");
    EXPECT_EQ(DateTimeText(Local(2007, 5, 14, 13, 45, 30, 999)), "05/14/2007 13:45:30");
}

TEST(DateTimeText, MonthFirstTwentyFourHourClock)
{
    EXPECT_EQ(DateTimeText(Local(2006, 12, 31, 23, 59, 59)), "12/31/2006 23:59:59");
    EXPECT_EQ(DateTimeText(Local(2007, 1, 1, 0, 0, 0)), "01/01/2007 00:00:00");
    EXPECT_EQ(DateTimeText(Local(2026, 7, 4, 12, 0, 0)), "07/04/2026 12:00:00");
}

TEST(NowText, NineteenCharactersOfTheCurrentLocalTime)
{
    const QDateTime before = QDateTime::currentDateTime();
    const std::string text = NowText();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_EQ(text.size(), 19u);
    static const QRegularExpression form(
        R"(^(0[1-9]|1[0-2])/(0[1-9]|[12]\d|3[01])/\d{4} ([01]\d|2[0-3]):[0-5]\d:[0-5]\d$)");
    EXPECT_TRUE(form.match(QString::fromStdString(text)).hasMatch()) << text;
    const QDateTime parsed =
        QDateTime::fromString(QString::fromStdString(text), "MM/dd/yyyy HH:mm:ss");
    ASSERT_TRUE(parsed.isValid()) << text;
    EXPECT_GE(parsed, before.addMSecs(-before.time().msec()).addSecs(-1));
    EXPECT_LE(parsed, after.addSecs(1));
}

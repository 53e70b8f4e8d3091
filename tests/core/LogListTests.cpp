#include <gtest/gtest.h>

#include <algorithm>

#include "FakePlatform.h"
#include "core/ClientLog.h"
#include "core/LogList.h"

namespace vorta {
namespace {

TEST(LogList, NewestFirstAndTheOldestDropsPastAThousand) {
    TLogList log;
    for (int i = 1; i <= 1001; ++i) log.AddLog(0, std::to_string(i));
    ASSERT_EQ(log.size(), 1000u);
    EXPECT_EQ(log[0].Text, "1001");
    EXPECT_EQ(log[999].Text, "2");
}

TEST(LogList, SavedTextIsNewestFirstTrimmedWithCrLf) {
    TLogList log;
    log.AddLog(0, "first");
    log.AddLog(2, " second\t");
    const std::string text = log.SaveText();
    const std::string time = TLogList::FormatTime(log[0].Time);
    const std::string older = TLogList::FormatTime(log[1].Time);
    EXPECT_EQ(text, "错误      " + time + "      second\r\n提示      " + older + "      first\r\n");
    EXPECT_EQ(TLogList().SaveText(), "");
}

TEST(LogList, KindNamesAndTimeFormat) {
    EXPECT_STREQ(TLogList::KindName(0), "提示");
    EXPECT_STREQ(TLogList::KindName(1), "警告");
    EXPECT_STREQ(TLogList::KindName(2), "错误");
    EXPECT_STREQ(TLogList::KindName(9), "其他");
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 0;
    tm.tm_mday = 2;
    tm.tm_hour = 3;
    tm.tm_min = 4;
    tm.tm_sec = 5;
    tm.tm_isdst = -1;
    const auto time = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    EXPECT_EQ(TLogList::FormatTime(time), "26-01-02 03:04:05");
}

// A command answers with the entries its action added: oldest first, never more than the log
// still holds, nothing once the log was emptied.
TEST(ClientLog, SinceIsTheNewEntriesTheLogStillHolds) {
    test::RecordingView view;
    EventLoop loop;
    ClientLog log(view, loop);
    log.AddLog(0, "old");
    const std::uint64_t before = log.Added();
    log.AddLog(0, "a");
    log.Notify("b");
    EXPECT_EQ(log.Since(before), "a\nb\n");
    EXPECT_EQ(view.hints, std::vector<std::string>{"b"});

    for (std::size_t i = 0; i < TLogList::kMaxEntries; ++i) log.AddLog(0, "x");
    const std::string all = log.Since(before);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), TLogList::kMaxEntries);
    EXPECT_EQ(all.substr(0, 2), "x\n");

    log.Clear();
    EXPECT_EQ(log.Since(before), "");
}

}  // namespace
}  // namespace vorta

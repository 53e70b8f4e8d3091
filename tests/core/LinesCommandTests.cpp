// `vorta lines …` on the lines file and on a running client's manager.

#include <gtest/gtest.h>

#include <fstream>

#include "FakeNetworkTables.h"
#include "TempDir.h"
#include "core/LinesCommand.h"
#include "lines/LinesMng.h"

namespace vorta {
namespace {

using Args = std::vector<std::string>;

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LinesCommandResult RunOn(const std::filesystem::path& file, const Args& args) {
    FileLinesTarget target(file);
    return RunLinesCommand(args, target);
}

TEST(LinesCommand, FileRulesMatchTheWindowsRules) {
    test::TempDir dir;
    const auto file = dir.path() / kLinesFileName;
    EXPECT_EQ(RunOn(file, {"add", "--kind", "lan", "--entry", "eth0"}).exitCode, 0);
    const auto dup = RunOn(file, {"add", "--kind", "lan", "--entry", "ETH0"});
    EXPECT_EQ(dup.exitCode, 1);
    EXPECT_EQ(dup.output, "该线路已经存在！\n");
    EXPECT_EQ(RunOn(file, {"add", "--kind", "dialup", "--entry", "isp", "--user", "u"}).output,
              "请输入用户名，密码信息！\n");
    for (int i = 1; i <= 4; ++i)
        ASSERT_EQ(RunOn(file, {"add", "--kind", "cablemodem", "--entry", "c" + std::to_string(i),
                               "--user", "u", "--password", "p"})
                      .exitCode,
                  0);
    const std::string before = FileBytes(file);
    const auto sixth = RunOn(file, {"add", "--kind", "lan", "--entry", "eth9"});
    EXPECT_EQ(sixth.output, "您最多可以添加5条线路,如需要添加更多,请联系软件Vorta提供商。\n");
    EXPECT_EQ(FileBytes(file), before);

    FileLinesTarget target(file);
    const std::string lineId = target.Records()[1].LineID;
    ASSERT_EQ(RunOn(file, {"modify", "2", "--user", "新用户", "--backup", "--necessary"}).exitCode,
              0);
    FileLinesTarget after(file);
    const TLineInfo modified = after.Records()[1];
    EXPECT_EQ(modified.UserName, "新用户");
    EXPECT_FALSE(modified.MasterGroup);
    EXPECT_TRUE(modified.IsNecessary);
    EXPECT_EQ(modified.EntryName, "c1") << "kind, entry and LineID stay";
    EXPECT_EQ(modified.LineID, lineId);
    EXPECT_EQ(RunOn(file, {"modify", "2", "--password", ""}).output, "请输入用户名，密码信息！\n");
    EXPECT_EQ(RunOn(file, {"modify", "1", "--entry", "x"}).exitCode, 2);
    EXPECT_EQ(RunOn(file, {"delete", "6"}).exitCode, 2);
    EXPECT_EQ(RunOn(file, {"delete", "1"}).exitCode, 0);
    EXPECT_EQ(FileLinesTarget(file).Records().size(), 4u);
}

TEST(LinesCommand, ListShowsTheRecordsInBothForms) {
    test::TempDir dir;
    const auto file = dir.path() / kLinesFileName;
    EXPECT_EQ(RunOn(file, {"list"}).output, "no lines\n");
    RunOn(file, {"add", "--kind", "weblogin", "--entry", "宽带", "--user", "a\"b", "--password",
                 "p", "--backup"});
    EXPECT_NE(RunOn(file, {"list"}).output.find("1  Web认证(网通)  备组  宽带"), std::string::npos);
    const std::string json = RunOn(file, {"list", "--json"}).output;
    EXPECT_NE(
        json.find(R"("kind":"weblogin","group":"backup","entryName":"宽带","userName":"a\"b")"),
        std::string::npos)
        << json;
    EXPECT_EQ(RunOn(file, {"list", "--nope"}).exitCode, 2);
    EXPECT_EQ(RunOn(file, {"frobnicate"}).exitCode, 2);
}

TEST(LinesCommand, ARunningManagerMakesTheChange) {
    test::TempDir dir;
    test::FakeNetworkTables tables;
    TIpRoutes routes(tables);
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    TLinesMng manager(TLinesMng::Options{dir.path() / kLinesFileName, services});
    ManagerLinesTarget target(manager);
    ASSERT_EQ(RunLinesCommand({"add", "--kind", "lan", "--entry", "eth0", "--necessary"}, target)
                  .exitCode,
              0);
    EXPECT_EQ(manager.Count(), 1u);
    EXPECT_EQ(manager.Lines()[0]->EntryName(), "eth0");
    EXPECT_EQ(FileLinesTarget(dir.path() / kLinesFileName).Records().size(), 1u) << "saved at once";
    ASSERT_EQ(RunLinesCommand({"delete", "1"}, target).exitCode, 0);
    EXPECT_EQ(manager.Count(), 0u);
}

}  // namespace
}  // namespace vorta

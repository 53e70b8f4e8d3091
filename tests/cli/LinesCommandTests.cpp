// `vorta lines …` on the lines file and on a running client's manager.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "FakeNetworkTables.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "cli/LinesCommand.h"
#include "lines/LinesMng.h"

namespace vorta {
namespace {

using test::FileSizeLimit;

using Args = std::vector<std::string>;

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LinesCommandResult RunOn(const std::filesystem::path& file, const Args& args) {
    FileLinesTarget target(file);
    return RunLinesCommand(args, target);
}

// Lines over tables in memory, for a manager of the tests' own.
struct Services {
    Services() { tables.AddLink("eth0", 2); }
    test::FakeNetworkTables tables;
    TIpRoutes routes{tables};
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
};

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
    Services services;
    TLinesMng manager(TLinesMng::Options{dir.path() / kLinesFileName, services.services});
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

TEST(LinesCommand, AnUnreadableFileGivesNoLinesAndRefusesEverySave) {
    test::TempDir dir;
    const auto file = dir.path() / kLinesFileName;
    EXPECT_TRUE(ReadLinesFile(file).empty()) << "a missing file is no lines";
    Services services;
    TLineInfo lan;
    lan.LineKind = 3;
    lan.EntryName = "eth0";
    // Neither a folder nor a link to itself can be read, even by root; a save would replace
    // the link. Without root, a file without read permission too.
    std::vector<std::string> kinds = {"folder", "link loop"};
    if (::geteuid() != 0) kinds.push_back("no permission");
    for (const std::string& kind : kinds) {
        SCOPED_TRACE(kind);
        std::filesystem::remove_all(file);
        if (kind == "folder")
            std::filesystem::create_directory(file);
        else if (kind == "link loop")
            std::filesystem::create_symlink(kLinesFileName, file);
        else {
            std::ofstream(file, std::ios::binary) << std::string(kLineInfoSize, '\0');
            std::filesystem::permissions(file, std::filesystem::perms::none);
        }
        auto untouched = [&] {
            const auto status = std::filesystem::symlink_status(file);
            if (kind == "folder")
                return std::filesystem::is_directory(status) && std::filesystem::is_empty(file);
            if (kind == "link loop")
                return std::filesystem::is_symlink(status) &&
                       std::filesystem::read_symlink(file) == kLinesFileName;
            return std::filesystem::is_regular_file(status) &&
                   std::filesystem::file_size(file) == kLineInfoSize &&
                   (status.permissions() & std::filesystem::perms::all) ==
                       std::filesystem::perms::none;
        };
        std::string reason;
        try {
            ReadLinesFile(file);
        } catch (const std::system_error& e) {
            reason = e.what();
        }
        ASSERT_NE(reason.find("cannot read " + file.string()), std::string::npos)
            << "unreadable is not missing: " << reason;

        {
            TLinesMng manager(TLinesMng::Options{file, services.services});
            EXPECT_EQ(manager.Count(), 0u);
            EXPECT_EQ(manager.LoadError(), reason);
            EXPECT_THROW(manager.AddLine(lan), std::runtime_error);
            EXPECT_EQ(manager.Count(), 0u);
            ASSERT_TRUE(manager.AddLineInfo(lan));
            EXPECT_THROW(manager.SaveToFile(), std::runtime_error);
            EXPECT_THROW(manager.ModifyLine(0, lan), std::runtime_error);
            EXPECT_THROW(manager.DeleteLine(0), std::runtime_error);
            EXPECT_EQ(manager.Count(), 1u);
            ManagerLinesTarget target(manager);
            for (const Args& args : {Args{"list"}, Args{"add", "--kind", "lan", "--entry", "eth1"},
                                     Args{"delete", "1"}}) {
                const LinesCommandResult result = RunLinesCommand(args, target);
                EXPECT_EQ(result.exitCode, 1) << args[0];
                EXPECT_EQ(result.output, reason + "\n") << args[0];
            }
        }
        for (const Args& args :
             {Args{"list", "--json"}, Args{"add", "--kind", "lan", "--entry", "eth1"},
              Args{"modify", "1", "--backup"}}) {
            const LinesCommandResult result = RunOn(file, args);
            EXPECT_EQ(result.exitCode, 1) << args[0];
            EXPECT_EQ(result.output, reason + "\n") << args[0];
        }
        FileLinesTarget target(file);
        EXPECT_EQ(target.LoadError(), reason);
        EXPECT_THROW(target.Add(lan), std::runtime_error);
        EXPECT_TRUE(untouched());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
            << "no temporary left";
    }
}

TEST(LinesCommand, TextsTheFileCannotHoldAreRefusedNeverCut) {
    test::TempDir dir;
    const auto file = dir.path() / kLinesFileName;
    const std::string twenty = "张三李四王五赵六钱七";  // 20 GBK bytes
    Services services;
    TLinesMng manager(TLinesMng::Options{dir.path() / "managed.dat", services.services});
    ManagerLinesTarget managerTarget(manager);
    FileLinesTarget fileTarget(file);
    for (ILinesTarget* target : std::initializer_list<ILinesTarget*>{&fileTarget, &managerTarget}) {
        SCOPED_TRACE(target == &fileTarget ? "file" : "manager");
        const Args add = {"add", "--kind", "weblogin", "--entry", "eth0", "--user"};
        auto run = [&](Args args, std::initializer_list<std::string> more) {
            args.insert(args.end(), more);
            return RunLinesCommand(args, *target);
        };
        const struct {
            LinesCommandResult result;
            const char* refusal;
        } refused[] = {
            {run(add, {twenty + "a", "--password", "p"}), "用户名称最长20个字节（GBK）！\n"},
            {run(add, {"u", "--password", "p\xF0\x9F\x98\x80"}),
             "用户密码含有GBK无法保存的字符！\n"},
            {run({"add", "--kind", "lan", "--entry", std::string(41, 'e')}, {}),
             "线路名称最长40个字节（GBK）！\n"},
        };
        for (const auto& [result, refusal] : refused) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.output, refusal);
        }
        EXPECT_TRUE(target->Records().empty());

        ASSERT_EQ(run(add, {twenty, "--password", std::string(20, 'p')}).exitCode, 0);
        const std::vector<TLineInfo> records = target->Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].UserName, twenty) << "exactly the slot is kept whole";
        const LinesCommandResult longer = run({"modify", "1", "--password"}, {twenty + "x"});
        EXPECT_EQ(longer.exitCode, 1);
        EXPECT_EQ(longer.output, "用户密码最长20个字节（GBK）！\n");
        EXPECT_EQ(target->Records(), records);
    }
}

TEST(LinesCommand, AFailedSaveFailsTheCommandWithTheReason) {
    test::TempDir dir;
    const auto file = dir.path() / kLinesFileName;
    // Two lines: even the list left by a delete is larger than the limit below.
    ASSERT_EQ(RunOn(file, {"add", "--kind", "lan", "--entry", "eth0"}).exitCode, 0);
    ASSERT_EQ(RunOn(file, {"add", "--kind", "lan", "--entry", "eth1"}).exitCode, 0);
    const std::string before = FileBytes(file);
    Services services;
    TLinesMng manager(TLinesMng::Options{file, services.services});
    ManagerLinesTarget managerTarget(manager);
    FileLinesTarget fileTarget(file);
    for (ILinesTarget* target : std::initializer_list<ILinesTarget*>{&fileTarget, &managerTarget}) {
        SCOPED_TRACE(target == &fileTarget ? "file" : "manager");
        const std::vector<TLineInfo> records = target->Records();
        ASSERT_EQ(records.size(), 2u);
        std::vector<LinesCommandResult> results;
        {
            FileSizeLimit limit(100);  // less than one record: every save fails
            for (const Args& args : {Args{"add", "--kind", "lan", "--entry", "eth2"},
                                     Args{"modify", "1", "--backup"}, Args{"delete", "1"}})
                results.push_back(RunLinesCommand(args, *target));
        }
        for (const LinesCommandResult& result : results) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_TRUE(
                result.output.starts_with("lines not changed: cannot write " + file.string()))
                << result.output;
        }
        EXPECT_EQ(target->Records(), records);
        EXPECT_EQ(FileBytes(file), before);
    }
}

}  // namespace
}  // namespace vorta

// The lines manager with LAN, cable modem and dial-up lines over fake tables and a fake
// remote access layer.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <thread>

#include "FakeNetworkTables.h"
#include "FakeRemoteAccess.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "lines/LDailx.h"
#include "lines/LineFactory.h"
#include "lines/LinesMng.h"

namespace vorta {
namespace {

using test::FileSizeLimit;

using test::FakeNetworkTables;
using test::Ip;
using test::TempDir;
using namespace std::chrono_literals;

TLineInfo Lan(const std::string& entry, bool master, bool necessary = false) {
    TLineInfo info;
    info.LineKind = 3;
    info.EntryName = entry;
    info.MasterGroup = master;
    info.IsNecessary = necessary;
    info.LineID = NewLineId();
    return info;
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What `change` threw; empty when it threw nothing.
template <typename Change>
std::string ErrorOf(Change&& change) {
    try {
        change();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

class LinesMngTest : public ::testing::Test {
protected:
    LinesMngTest() {
        tables.AddLink("eth0", 2);
        tables.AddLink("eth1", 3);
    }
    std::unique_ptr<TLinesMng> Manager(
        std::function<bool()> lanBackup = [] { return false; },
        std::chrono::milliseconds slice = 5ms, std::chrono::milliseconds holdDown = 0ms) {
        TLinesMng::Options options{file(), services, std::move(lanBackup), slice};
        options.holdDown = [holdDown] { return holdDown; };
        return std::make_unique<TLinesMng>(std::move(options));
    }
    void Up(std::uint32_t index) { tables.AddRoute({0, 0, Ip("198.51.100.1"), index}); }
    std::filesystem::path file() const { return dir.path() / kLinesFileName; }

    TempDir dir;
    FakeNetworkTables tables;
    TIpRoutes routes{tables};
    test::FakeRemoteAccess ras;
    LineServices services{routes, &ras, "", std::chrono::hours(1)};
};

TEST_F(LinesMngTest, MissingFileStartsEmptyAndAddsAreSavedPrivately) {
    auto mng = Manager();
    EXPECT_EQ(mng->Count(), 0u);
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    EXPECT_EQ(std::filesystem::file_size(file()), kLineInfoSize);
    EXPECT_EQ(std::filesystem::status(file()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    mng.reset();
    auto again = Manager();
    ASSERT_EQ(again->Count(), 1u);
    EXPECT_EQ(again->Records()[0].EntryName, "eth0");
}

TEST_F(LinesMngTest, FileSizeDecidesHowManyRecordsLoad) {
    std::string five;
    for (int i = 0; i < 5; ++i) {
        const auto bytes = EncodeLineInfo(Lan("eth" + std::to_string(i), true));
        five.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    std::ofstream(file(), std::ios::binary) << five << std::string(800 - five.size(), 'x');
    EXPECT_EQ(Manager()->Count(), 5u) << "800 div 147 = 5";
    std::ofstream(file(), std::ios::binary | std::ios::trunc) << five.substr(0, 146);
    EXPECT_EQ(Manager()->Count(), 0u);
}

TEST_F(LinesMngTest, RuntimeFieldsAreClearedAndBadKindsDropped) {
    TLineInfo stale = Lan("eth0", true);
    stale.IsActive = true;
    stale.IpAddress = "203.0.113.9";
    TLineInfo bad = Lan("eth1", true);
    bad.LineKind = 7;
    std::string content;
    for (const auto& info : {stale, bad}) {
        const auto bytes = EncodeLineInfo(info);
        content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    std::ofstream(file(), std::ios::binary) << content;
    auto mng = Manager();
    ASSERT_EQ(mng->Count(), 1u);
    EXPECT_FALSE(mng->Records()[0].IsActive);
    EXPECT_EQ(mng->Records()[0].IpAddress, "");
    mng->SaveToFile();
    EXPECT_EQ(std::filesystem::file_size(file()), kLineInfoSize) << "the bad record is gone";
}

TEST_F(LinesMngTest, SixthAddIsRefusedAndTheFileStaysAsItWas) {
    auto mng = Manager();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(mng->AddLine(Lan("eth" + std::to_string(i), true)));
    const std::string before = FileBytes(file());
    EXPECT_FALSE(mng->AddLine(Lan("eth9", true)));
    EXPECT_EQ(FileBytes(file()), before);
    EXPECT_EQ(FindEntry(mng->Records(), "ETH3"), 3u);
    EXPECT_EQ(FindEntry(mng->Records(), "none"), std::nullopt);
}

TEST_F(LinesMngTest, InterruptedSaveLeavesTheOldFileIntact) {
    auto mng = Manager();
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    const std::string before = FileBytes(file());
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth1", false)));
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth2", false)));
    {
        // The write stops half-way, as a crash would stop it.
        FileSizeLimit limit(200);
        EXPECT_THROW(mng->SaveToFile(), std::system_error);
    }
    EXPECT_EQ(FileBytes(file()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary left";
}

TEST_F(LinesMngTest, AFailedSaveLeavesMemoryFileAndLiveLinesAsTheyWere) {
    auto mng = Manager();
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    ASSERT_TRUE(mng->AddLine(Lan("eth1", false)));
    const std::string before = FileBytes(file());
    const auto lines = mng->Lines();
    const std::vector<TLineInfo> infos = mng->Records();
    TLineInfo changed = infos[1];
    changed.UserName = "new";
    changed.Password = "pw";
    std::string addError, modifyError, deleteError;
    {
        FileSizeLimit limit(100);  // less than one record: every save fails
        addError = ErrorOf([&] { mng->AddLine(Lan("eth2", true)); });
        modifyError = ErrorOf([&] { mng->ModifyLine(1, changed); });
        deleteError = ErrorOf([&] { mng->DeleteLine(0); });
    }
    for (const std::string& error : {addError, modifyError, deleteError})
        EXPECT_NE(error.find("cannot write " + file().string()), std::string::npos) << error;
    EXPECT_EQ(FileBytes(file()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary left";
    EXPECT_EQ(mng->Lines(), lines);
    EXPECT_EQ(lines[1]->UserName(), "");
    EXPECT_EQ(lines[1]->Password(), "");
    EXPECT_EQ(mng->Records(), infos);
}

TEST_F(LinesMngTest, EndingTheManagerSavesNothing) {
    auto mng = Manager();
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    // Another writer's content: what the manager holds must not replace it.
    const std::string other(2 * kLineInfoSize, '\0');
    std::ofstream(file(), std::ios::binary | std::ios::trunc) << other;
    mng.reset();
    EXPECT_EQ(FileBytes(file()), other);
}

TEST_F(LinesMngTest, ModifyAndDeleteKeepTheListsTogether) {
    auto mng = Manager();
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    ASSERT_TRUE(mng->AddLine(Lan("eth1", false)));
    auto held = mng->Lines()[0];
    TLineInfo changed = Lan("eth0", true);
    changed.UserName = "张三";
    changed.Password = "pw";
    mng->ModifyLine(1, changed);
    EXPECT_EQ(mng->Lines()[1]->UserName(), "张三");
    mng->DeleteLine(0);
    ASSERT_EQ(mng->Count(), 1u);
    EXPECT_EQ(held->EntryName(), "eth0") << "a holder keeps a deleted line alive";
    auto reloaded = (mng.reset(), Manager());
    const auto records = reloaded->Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].UserName, "张三") << "GBK in the file, UTF-8 again when read";
}

TEST_F(LinesMngTest, ADeletedLineActsNoMoreWhileOthersStillHoldIt) {
    services.keepPeriod = 5ms;
    ras.dialResult = 1;  // every pass dials again
    auto mng = Manager();
    TLineInfo dial = Lan("isp-a", true);
    dial.LineKind = 0;
    dial.UserName = "u";
    dial.Password = "p";
    ASSERT_TRUE(mng->AddLine(dial));
    ASSERT_TRUE(mng->AddLine(Lan("eth0", true)));
    mng->KeepGroup(LineGroup::Main);
    ASSERT_TRUE(test::WaitFor([&] { return ras.dials > 2; }));
    // As the IP update loop holds a line while it reports for it.
    const auto held = mng->Find(mng->Records()[0].LineID);
    ASSERT_TRUE(held && held->line);
    EXPECT_FALSE(mng->DeleteLineById("no such id"));
    ASSERT_TRUE(mng->DeleteLineById(held->info.LineID));
    const int dials = ras.dials;
    EXPECT_EQ(ras.dialsFinished.load(), dials) << "the pass in progress ended before the delete";
    std::this_thread::sleep_for(100ms);  // twenty keep periods
    EXPECT_EQ(ras.dials.load(), dials) << "the deleted line dialled again";
    ASSERT_EQ(mng->Count(), 1u);
    EXPECT_EQ(mng->Records()[0].EntryName, "eth0");

    // A modify keeps what the live line was made with, whatever the caller's copy says.
    TLineInfo changed = mng->Records()[0];
    const std::string id = changed.LineID;
    changed.EntryName = "";
    changed.LineKind = 1;
    changed.LineID = "other";
    changed.IsNecessary = true;
    ASSERT_TRUE(mng->ModifyLineById(id, changed));
    EXPECT_FALSE(mng->ModifyLineById("other", changed));
    const TLineInfo stored = ReadLinesFile(file()).at(0);
    EXPECT_EQ(stored.EntryName, "eth0");
    EXPECT_EQ(stored.LineKind, 3);
    EXPECT_EQ(stored.LineID, id);
    EXPECT_TRUE(stored.IsNecessary);
}

TEST_F(LinesMngTest, GroupStateTable) {
    auto mng = Manager();
    mng->RefreshState();
    EXPECT_EQ(mng->Groups.load(), GroupState::BothFailing) << "no line at all: both groups fail";

    ASSERT_TRUE(mng->AddLineInfo(Lan("eth0", true, false)));
    mng->RefreshState();
    EXPECT_EQ(mng->Groups.load(), GroupState::MainUp)
        << "a main line that is down but not necessary never fails its group";

    mng->DeleteLine(0);
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth0", true, true)));
    mng->RefreshState();
    EXPECT_EQ(mng->Groups.load(), GroupState::BothFailing)
        << "necessary main line down, and no backup line";

    ASSERT_TRUE(mng->AddLineInfo(Lan("eth1", false)));
    mng->RefreshState();
    EXPECT_EQ(mng->Groups.load(), GroupState::BackupCarries);
    Up(2);
    mng->RefreshState();
    EXPECT_EQ(mng->Groups.load(), GroupState::MainUp);
    EXPECT_TRUE(mng->Records()[0].IsActive);
    EXPECT_FALSE(mng->Records()[1].IsActive);
}

TEST_F(LinesMngTest, RunThreadHoldsTheMainGroupAndFallsBack) {
    auto mng = Manager();
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth0", true, true)));
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth1", false)));
    mng->Duty = LinesDuty::Carry;
    EXPECT_TRUE(test::WaitFor([&] {
        return mng->Lines()[0]->KeepActive.load() && mng->Lines()[1]->KeepActive.load();
    })) << "main line down: the backup is held up too";
    Up(2);
    EXPECT_TRUE(test::WaitFor(
        [&] { return mng->Groups == GroupState::MainUp && !mng->Lines()[1]->KeepActive.load(); }));
    EXPECT_TRUE(mng->Lines()[0]->KeepActive);
}

// A cycle of 4 s: what happens sooner comes from the change notices.
TEST_F(LinesMngTest, NoticesFailOverAtOnceAndTheMainGroupComesBackAfterTheHoldTime) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kHold = 1500ms;
    auto mng = Manager([] { return false; }, 100ms, kHold);
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth0", true, true)));
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth1", false)));
    mng->Duty = LinesDuty::Carry;
    Up(2);
    ASSERT_TRUE(mng->AwaitFirstPass({}));
    ASSERT_EQ(mng->Groups.load(), GroupState::MainUp);
    const auto backupKept = [&] { return mng->Lines()[1]->KeepActive.load(); };
    ASSERT_FALSE(backupKept());

    // Failover: at the notice, not at the end of the cycle.
    auto changed = Clock::now();
    tables.RemoveDefaultRoutes();
    mng->NoteChange();
    ASSERT_TRUE(test::WaitFor([&] { return backupKept(); }));
    EXPECT_LT(Clock::now() - changed, 2s) << "the failover waited for the cycle";
    EXPECT_EQ(mng->Groups.load(), GroupState::BackupCarries);

    // Back up, then a flap within the hold time: the hold starts over from the last return.
    Up(2);
    mng->NoteChange();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(backupKept()) << "the main group was taken back before the hold time";
    EXPECT_EQ(mng->Groups.load(), GroupState::BackupCarries);
    tables.RemoveDefaultRoutes();
    mng->NoteChange();
    std::this_thread::sleep_for(300ms);
    Up(2);
    changed = Clock::now();
    mng->NoteChange();
    ASSERT_TRUE(test::WaitFor([&] { return !backupKept(); }, 10s));
    EXPECT_GE(Clock::now() - changed, kHold - 100ms) << "the flap did not restart the hold time";
    EXPECT_EQ(mng->Groups.load(), GroupState::MainUp);
    EXPECT_TRUE(mng->Lines()[0]->KeepActive);
}

TEST_F(LinesMngTest, LanBackupHostHoldsEveryLineDown) {
    auto mng = Manager([] { return true; });
    ASSERT_TRUE(mng->AddLineInfo(Lan("eth0", true)));
    mng->Lines()[0]->KeepActive = true;
    for (int i = 0;
         i < 400 && (mng->Groups != GroupState::BothFailing || mng->Lines()[0]->KeepActive); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(mng->Groups.load(), GroupState::BothFailing);
    EXPECT_FALSE(mng->Lines()[0]->KeepActive);
}

TEST(LineKinds, TableAndSimpleKinds) {
    std::vector<std::string> names;
    TLineFactory::GetLineTypeNames(names);
    EXPECT_EQ(names,
              (std::vector<std::string>{"虚拟拨号", "Web认证(网通)", "Cable Modem", "局域网"}));
    EXPECT_FALSE(TLineFactory::NeedUserInfo(3));
    for (int i : {0, 1, 2}) EXPECT_TRUE(TLineFactory::NeedUserInfo(i));
    FakeNetworkTables tables;
    tables.AddLink(" 新建连接 ", 5);
    tables.AddLink("eth0", 2);
    tables.AddLink("新建连接向导", 6);
    TLineFactory::GetConnectionNames(tables, names);
    EXPECT_EQ(names, (std::vector<std::string>{"eth0"}));

    TIpRoutes routes(tables);
    LineServices services{routes, nullptr, "", std::chrono::hours(1)};
    EXPECT_EQ(TLineFactory::CreateLine(4, services), nullptr);
    EXPECT_EQ(TLineFactory::CreateLine(-1, services), nullptr);
    auto cable = TLineFactory::CreateLine(2, services);
    cable->SetIpAddress("203.0.113.1");
    EXPECT_FALSE(cable->GetActive());
    EXPECT_EQ(cable->GetIpAddress(), "");
    EXPECT_EQ(cable->Describe(), "ClassName: TCableModelLine");
}

}  // namespace
}  // namespace vorta

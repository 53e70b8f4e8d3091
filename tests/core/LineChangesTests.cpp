// The controller's line changes as the window's buttons make them, and the log's clear.

#include <gtest/gtest.h>

#include <fstream>

#include "FakeNetworkTables.h"
#include "FakePlatform.h"
#include "TempDir.h"
#include "core/Client.h"

namespace vorta::test {
namespace {

class LineChanges : public ::testing::Test {
protected:
    void Start(std::filesystem::path linesFile) {
        ClientPlatform platform{store, services, autostart};
        platform.network = &network;
        platform.linesFile = std::move(linesFile);
        ClientConfig config;
        config.serviceUrl = "http://127.0.0.1:1/unused/";
        client = std::make_unique<TClient>(config, std::move(platform), view, loop);
        client->StartClient(false);
    }
    static TLineInfo Lan(const char* name) {
        TLineInfo info;
        info.LineKind = 3;
        info.MasterGroup = true;
        info.EntryName = name;
        info.LineID = "ignored";  // the controller gives each new line its own id
        return info;
    }

    TempDir dir;
    FakeSettingsStore store;
    FakeServiceManager services;
    FakeAutostart autostart;
    FakeNetworkTables network;
    RecordingView view;
    EventLoop loop;
    std::unique_ptr<TClient> client;
};

TEST_F(LineChanges, NamesAreUniqueInAnyCaseAndFiveIsTheMost) {
    Start(dir.path() / "LineInfo.dat");
    client->AddLine(Lan("eth1"));
    client->AddLine(Lan("ETH1"));
    ASSERT_EQ(view.messageBoxes, std::vector<std::string>{kLineExists});
    for (const char* name : {"eth2", "eth3", "eth4", "eth5", "eth6"}) client->AddLine(Lan(name));
    EXPECT_EQ(view.messageBoxes.back(), kTooManyLines);
    ASSERT_EQ(client->View().Lines.size(), 5u);
    const std::string id = client->LinesMng()->At(0)->info.LineID;
    EXPECT_EQ(id.size(), 36u);
    EXPECT_NE(id, client->LinesMng()->At(1)->info.LineID);

    // A change by id reaches its record wherever it now is, and no record once it is gone.
    const std::string third = client->LinesMng()->At(2)->info.LineID;
    client->DeleteLine(id);
    TLineInfo fields = Lan("ignored-by-modify");
    fields.IsNecessary = true;
    fields.MasterGroup = false;
    client->ModifyLine(third, fields);
    EXPECT_EQ(client->LinesMng()->At(1)->info.LineID, third);
    EXPECT_TRUE(client->View().Lines[1].IsNecessary);
    EXPECT_FALSE(client->View().Lines[1].MasterGroup);
    EXPECT_EQ(client->View().Lines[1].EntryName, "eth3") << "a modify keeps the entry name";
    EXPECT_EQ(client->View().Lines[1].LineID, third);
    const std::size_t shown = view.messageBoxes.size();
    client->ModifyLine(id, fields);
    ASSERT_EQ(view.messageBoxes.size(), shown + 1);
    EXPECT_EQ(view.messageBoxes.back(), "请先选择要操作的线路！");
    client->DeleteLine(id);
    EXPECT_EQ(view.messageBoxes.size(), shown + 2);
    EXPECT_EQ(client->LinesMng()->Count(), 4u);

    // Texts the lines file cannot hold are refused whole, not cut.
    fields.UserName = "张三李四王五赵六钱七a";  // 21 GBK bytes
    client->ModifyLine(third, fields);
    EXPECT_EQ(view.messageBoxes.back(), "用户名称最长20个字节（GBK）！");
    EXPECT_EQ(client->LinesMng()->Find(third)->info.UserName, "");
    client->DeleteLine(third);
    TLineInfo added = Lan("eth7");
    added.Password = "\xF0\x9F\x98\x80";
    client->AddLine(added);
    EXPECT_EQ(view.messageBoxes.back(), "用户密码含有GBK无法保存的字符！");
    EXPECT_EQ(client->LinesMng()->Count(), 3u);
}

TEST_F(LineChanges, AFailedSaveIsShownAndChangesNothing) {
    // The lines file's folder is a plain file: every save fails.
    std::ofstream(dir.path() / "blocker") << "x";
    Start(dir.path() / "blocker" / "LineInfo.dat");
    client->AddLine(Lan("eth1"));
    ASSERT_EQ(view.messageBoxes.size(), 1u);
    EXPECT_NE(view.messageBoxes[0], kTooManyLines);
    EXPECT_TRUE(client->View().Lines.empty());

    client->ClearLog();
    ASSERT_EQ(client->Log().size(), 1u);
    EXPECT_EQ(client->Log()[0].Text, "清除所有日志信息！");
    EXPECT_EQ(view.hints.back(), "清除所有日志信息！");
}

}  // namespace
}  // namespace vorta::test

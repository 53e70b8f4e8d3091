// A front end in another process over the instance channel: the stream of a service-mode
// client's view, the actions sent back, and the client going away and coming back under it.
// Threads meet here (the client's loop, the channel's workers, the face's two threads), so
// these run under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "ServiceRun.h"
#include "TempDir.h"
#include "host/RemoteFace.h"

namespace vorta::test {
namespace {

// The window's thread: what the face posts runs when the test drains it.
class WindowThread {
public:
    host::RemoteFace::Post Post() {
        return [this](std::function<void()> call) {
            std::lock_guard guard(lock_);
            calls_.push_back(std::move(call));
        };
    }
    template <typename Predicate>
    bool RunUntil(Predicate done, std::chrono::seconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            std::deque<std::function<void()>> calls;
            {
                std::lock_guard guard(lock_);
                calls.swap(calls_);
            }
            for (auto& call : calls) call();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    std::mutex lock_;
    std::deque<std::function<void()>> calls_;
};

bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(RemoteFace, FollowsAServiceModeClientActsOnItAndWaitsOutItsRestart) {
    LiveService live;
    TempDir dir;
    const auto data = dir.path() / "svc";
    StoreDemoAccount(data);
    auto service = std::make_unique<ServiceRun>(data, live);
    WindowThread window;
    RecordingView events;
    std::vector<host::RemoteFace::Link> links;
    auto face = std::make_unique<host::RemoteFace>(host::OpenChannel(data), events, window.Post());
    face->onLink = [&](host::RemoteFace::Link link) { links.push_back(link); };
    face->Start();
    const auto caption = [&] { return face->View().BtnLogonCaption; };

    // The snapshot, then the changes: the client logs on by itself.
    ASSERT_TRUE(window.RunUntil([&] { return caption() == "注销"; }));
    EXPECT_EQ(links.front(), host::RemoteFace::Link::Connected);
    EXPECT_EQ(face->View().Tray, TrayState::LoggedOn);
    EXPECT_TRUE(face->View().EditPassword.empty()) << "the stored password reached the face";
    ASSERT_GT(face->Log().size(), 0u);

    // Actions go to the client in order; what they change and raise comes back.
    face->Act({FaceActionKind::Logon, {}, {}});
    face->Act({FaceActionKind::Logon, {}, {}});
    ASSERT_TRUE(
        window.RunUntil([&] { return caption() == "注销" && Has(events.hints, "注销成功！"); }));
    EXPECT_TRUE(service->LoggedOn());
    face->Act({FaceActionKind::ClearLog, {}, {}});
    ASSERT_TRUE(window.RunUntil([&] { return face->Log().size() == 1; }));
    // Lines through the dialog's fields: added, read back for the dialog, modified, deleted.
    TLineInfo lan;
    lan.MasterGroup = true;
    lan.LineKind = 3;
    lan.EntryName = "vorta-test1";
    face->Act({FaceActionKind::AddLine, {}, LineFields(lan)});
    ASSERT_TRUE(window.RunUntil([&] { return face->View().Lines.size() == 1; }));
    const std::string id = face->View().Lines[0].LineID;
    const std::optional<TLineInfo> shown = face->FindLine(id);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->EntryName, "vorta-test1");
    lan.MasterGroup = false;
    std::vector<std::string> args = LineFields(lan);
    args.insert(args.begin(), id);
    face->Act({FaceActionKind::ModifyLine, {}, args});
    ASSERT_TRUE(window.RunUntil([&] { return !face->View().Lines[0].MasterGroup; }));
    face->Act({FaceActionKind::DeleteLine, {}, {id}});
    ASSERT_TRUE(window.RunUntil([&] { return face->View().Lines.empty(); }));
    EXPECT_FALSE(face->FindLine(id));
    // A bad action is told to the window, and the client goes on.
    face->Act({FaceActionKind::TreeClick, {}, {"not a level"}});
    ASSERT_TRUE(window.RunUntil([&] { return !events.messageBoxes.empty(); }));

    // The client stops under the stream: the face shows it is not connected, then attaches again.
    service.reset();
    ASSERT_TRUE(window.RunUntil([&] { return face->View().Tray == TrayState::NotConnected; }));
    EXPECT_EQ(links.back(), host::RemoteFace::Link::Away);
    EXPECT_EQ(face->Log().size(), 0u);
    service = std::make_unique<ServiceRun>(data, live);
    ASSERT_TRUE(window.RunUntil([&] { return caption() == "注销"; }));
    EXPECT_EQ(links.back(), host::RemoteFace::Link::Connected);

    // The face goes while an action is still out; nothing it posted runs after it.
    face->Act({FaceActionKind::Logon, {}, {}});
    face.reset();
    EXPECT_TRUE(window.RunUntil([] { return true; }));
}

}  // namespace
}  // namespace vorta::test

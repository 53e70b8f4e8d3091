#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/ChannelWire.h"
#include "platform/win32/InstanceName.h"
#include "platform/win32/PipeInstanceChannel.h"
#include "platform/win32/PipeIo.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {
namespace {

using namespace std::chrono_literals;
using Outcome = ChannelReply::Outcome;

// The data dir a child process of this program holds (see ChildHolder).
constexpr const char* kChildDirVariable = "VORTA_TEST_CHILD_DATA_DIR";

class TempDir {
public:
    TempDir() {
        static std::atomic<int> count{0};
        path_ = std::filesystem::temp_directory_path() /
                ("vorta-pipe-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount64()) + "-" + std::to_string(count++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

auto Echo(const std::string& prefix) {
    return [prefix](const std::string& request) { return prefix + request + "\n"; };
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(PipeInstanceChannel, OneInstancePerDataDirAndRequestsReachIt) {
    TempDir dir;
    PipeInstanceChannel first(dir.path() / "data");
    EXPECT_FALSE(first.Ask("SHOW")) << "nobody runs yet";
    ASSERT_TRUE(first.Claim(Echo("first:")));
    EXPECT_FALSE(first.Claim(Echo("again:")));

    PipeInstanceChannel second(dir.path() / "data");
    EXPECT_FALSE(second.Claim(Echo("second:")));
    EXPECT_EQ(second.Ask("STATUS"), std::optional<std::string>("first:STATUS\n"));
    // Another spelling of the same folder finds the same instance.
    std::wstring upper = (dir.path() / "DATA" / "").wstring();
    EXPECT_FALSE(PipeInstanceChannel(upper).Claim(Echo("upper:")));
    EXPECT_EQ(PipeInstanceChannel(dir.path() / "other" / ".." / "data").Ask("X"),
              std::optional<std::string>("first:X\n"));

    // Another data dir has its own instance.
    PipeInstanceChannel other(dir.path() / "other");
    EXPECT_TRUE(other.Claim(Echo("other:")));
    EXPECT_EQ(PipeInstanceChannel(dir.path() / "other").Ask("X"),
              std::optional<std::string>("other:X\n"));
}

TEST(PipeInstanceChannel, ReleasedWhenTheInstanceEnds) {
    TempDir dir;
    {
        PipeInstanceChannel first(dir.path());
        ASSERT_TRUE(first.Claim(Echo("")));
    }
    EXPECT_EQ(PipeInstanceChannel(dir.path()).Request("X", 1s).outcome, Outcome::NotRunning);
    PipeInstanceChannel next(dir.path());
    EXPECT_TRUE(next.Claim(Echo("next:")));
    EXPECT_EQ(PipeInstanceChannel(dir.path()).Ask("A"), std::optional<std::string>("next:A\n"));
}

TEST(PipeInstanceChannel, LockKeepsClientsOutWhileHeld) {
    TempDir dir;
    {
        PipeInstanceChannel running(dir.path());
        ASSERT_TRUE(running.Claim(Echo("")));
        EXPECT_FALSE(PipeInstanceChannel(dir.path()).Lock()) << "a client runs";
    }
    PipeInstanceChannel editor(dir.path());
    ASSERT_TRUE(editor.Lock());
    EXPECT_FALSE(editor.Claim(Echo(""))) << "this object holds the lock already";
    EXPECT_FALSE(PipeInstanceChannel(dir.path()).Claim(Echo("")));
    EXPECT_FALSE(PipeInstanceChannel(dir.path()).Lock());
    EXPECT_EQ(PipeInstanceChannel(dir.path()).Request("X", 1s).outcome, Outcome::NotRunning);
}

TEST(PipeInstanceChannel, AnUnansweredRequestIsWithdrawnUnlessItsWorkStarted) {
    TempDir dir;
    PipeInstanceChannel instance(dir.path());
    std::atomic<bool> busy{true}, started{false}, done{false}, hangUpArrived{false},
        sawHangUp{false};
    // Stands in for a client whose loop is busy: the work starts only when the loop is free, or
    // is dropped when its asker withdraws it first.
    ASSERT_TRUE(instance.Claim([&](const std::string& request, IRequestContext& context) {
        if (request == "HANGUP") hangUpArrived = true;
        while (busy) {
            if (context.Withdrawn()) {
                if (request == "HANGUP") sawHangUp = true;
                return std::string("dropped\n");
            }
            std::this_thread::sleep_for(10ms);
        }
        context.Started();
        started = true;
        if (request == "SLOW") std::this_thread::sleep_for(600ms);
        done = true;
        return std::string("done\n");
    }));
    PipeInstanceChannel asker(dir.path());
    const ChannelReply withdrawn = asker.Request("CHANGE", 200ms);
    EXPECT_EQ(withdrawn.outcome, Outcome::Withdrawn);
    EXPECT_FALSE(started) << "withdrawn work was done";

    // An asker that hangs up without a word withdraws its request as well.
    {
        HANDLE opened = CreateFileW(asker.PipeName().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(opened, INVALID_HANDLE_VALUE);
        UniqueHandle pipe(opened);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(pipe.get(), "HANGUP\n", 7, &written, nullptr));
        // Hangs up once the request waits in the handler (one read never at all is just gone).
        ASSERT_TRUE(WaitFor([&] { return hangUpArrived.load(); }));
    }
    EXPECT_TRUE(WaitFor([&] { return sawHangUp.load(); })) << "a gone asker was not noticed";

    busy = false;
    const ChannelReply unfinished = asker.Request("SLOW", 200ms);
    EXPECT_EQ(unfinished.outcome, Outcome::Unfinished)
        << "work that started is never reported as not done";
    EXPECT_TRUE(WaitFor([&] { return done.load(); })) << "started work is finished";

    const ChannelReply answered = asker.Request("FAST", 5s);
    EXPECT_EQ(answered.outcome, Outcome::Answered);
    EXPECT_EQ(answered.text, "done\n");
    EXPECT_EQ(PipeInstanceChannel(dir.path() / "none").Request("X", 1s).outcome,
              Outcome::NotRunning);
}

TEST(PipeInstanceChannel, AskersAtOnceAreAllAnswered) {
    TempDir dir;
    PipeInstanceChannel instance(dir.path());
    ASSERT_TRUE(instance.Claim([](const std::string& request) {
        std::this_thread::sleep_for(30ms);
        return request + "\n";
    }));
    std::vector<ChannelReply> replies(6);
    {
        std::vector<std::jthread> askers;
        for (std::size_t i = 0; i < replies.size(); ++i)
            askers.emplace_back([&, i] {
                replies[i] = PipeInstanceChannel(dir.path()).Request(std::to_string(i), 10s);
            });
    }
    for (std::size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i].outcome, Outcome::Answered) << "asker " << i;
        EXPECT_EQ(replies[i].text, std::to_string(i) + "\n");
    }
    // A long answer arrives whole although the instance closes its end after writing it.
    const std::string big(3u << 20, 'x');
    PipeInstanceChannel bigDir(dir.path() / "big");
    ASSERT_TRUE(bigDir.Claim([&](const std::string&) { return big; }));
    EXPECT_EQ(PipeInstanceChannel(dir.path() / "big").Ask("X"), std::optional<std::string>(big));
}

// A connection to `name` that sends nothing, for PipeIo's waits.
UniqueHandle ConnectSilently(const std::wstring& name) {
    HANDLE opened = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    return UniqueHandle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

TEST(PipeInstanceChannel, StopServingFinishesTheRequestsInHandAndTurnsTheOthersAway) {
    TempDir dir;
    PipeInstanceChannel instance(dir.path());
    std::atomic<bool> inHandler{false};
    ASSERT_TRUE(instance.Claim([&](const std::string& request) {
        inHandler = true;
        std::this_thread::sleep_for(400ms);
        return "late:" + request + "\n";
    }));
    ChannelReply inHand;
    std::jthread asker([&] { inHand = PipeInstanceChannel(dir.path()).Request("A", 10s); });
    ASSERT_TRUE(WaitFor([&] { return inHandler.load(); }));
    // Connected, but its request never came: it hears that it was dropped.
    UniqueHandle silent = ConnectSilently(instance.PipeName());
    ASSERT_TRUE(silent);
    std::this_thread::sleep_for(150ms);
    instance.StopServing();
    asker.join();
    EXPECT_EQ(inHand.outcome, Outcome::Answered);
    EXPECT_EQ(inHand.text, "late:A\n");
    char said[8];
    DWORD got = 0;
    ASSERT_EQ(ReadSome(silent.get(), said, sizeof said, got, nullptr, 5000), PipeEnd::Done);
    EXPECT_EQ(std::string_view(said, got), wire::kDroppedMark);

    EXPECT_EQ(PipeInstanceChannel(dir.path()).Request("B", 1s).outcome, Outcome::NotRunning);
    EXPECT_FALSE(PipeInstanceChannel(dir.path()).Claim(Echo(""))) << "the data dir stays held";
    EXPECT_FALSE(PipeInstanceChannel(dir.path()).Lock());
}

TEST(PipeInstanceChannel, AskersAreServedAtOnceUpToABoundAndSilentConnectionsAreClosed) {
    TempDir dir;
    PipeInstanceChannel instance(dir.path());
    std::atomic<bool> hold{true};
    std::atomic<std::size_t> held{0};
    ASSERT_TRUE(instance.Claim([&](const std::string& request) {
        if (request == "HOLD") {
            ++held;
            while (hold) std::this_thread::sleep_for(10ms);
        }
        return request + "\n";
    }));
    // A connection that never sends holds a place, but nobody waits behind it.
    UniqueHandle silent = ConnectSilently(instance.PipeName());
    ASSERT_TRUE(silent);
    EXPECT_EQ(PipeInstanceChannel(dir.path()).Ask("A"), std::optional<std::string>("A\n"));

    // Every other place taken by a request in hand, all of them in the handler together.
    std::vector<ChannelReply> replies(wire::kMaxConnections - 1);
    std::vector<std::jthread> askers;
    for (auto& reply : replies)
        askers.emplace_back([&] { reply = PipeInstanceChannel(dir.path()).Request("HOLD", 30s); });
    ASSERT_TRUE(WaitFor([&] { return held == replies.size(); }, 10s))
        << held << " requests in hand at once";
    const ChannelReply turnedAway = PipeInstanceChannel(dir.path()).Request("B", 30s);
    EXPECT_EQ(turnedAway.outcome, Outcome::Busy) << turnedAway.text;

    // The silent connection is closed after its idle time, which frees its place.
    char byte;
    DWORD got = 0;
    EXPECT_EQ(ReadSome(silent.get(), &byte, 1, got, nullptr, 10000), PipeEnd::Closed)
        << "closed without a word";
    EXPECT_TRUE(WaitFor([&] {
        return PipeInstanceChannel(dir.path()).Ask("C") == std::optional<std::string>("C\n");
    })) << "the freed place was not taken";

    hold = false;
    askers.clear();
    for (const auto& reply : replies) {
        EXPECT_EQ(reply.outcome, Outcome::Answered);
        EXPECT_EQ(reply.text, "HOLD\n");
    }

    // A pipe whose one instance is taken: the asker's connect gives up instead of waiting.
    TempDir taken;
    const std::wstring name = PipeInstanceChannel(taken.path()).PipeName();
    HANDLE made = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096, 4096,
                                   0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    UniqueHandle only(made);
    UniqueHandle holder = ConnectSilently(name);
    ASSERT_TRUE(holder);
    EXPECT_EQ(PipeInstanceChannel(taken.path()).Request("X", 1s).outcome, Outcome::Busy);
}

TEST(PipeInstanceChannel, APipeMadeBeforehandIsNotJoined) {
    TempDir dir;
    const std::wstring name = PipeInstanceChannel(dir.path()).PipeName();
    HANDLE made = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                   PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    {
        UniqueHandle squatter(made);
        EXPECT_FALSE(PipeInstanceChannel(dir.path()).Claim(Echo("")));
    }
    PipeInstanceChannel instance(dir.path());
    EXPECT_TRUE(instance.Claim(Echo(""))) << "the failed claim kept the data dir";
}

// Another process: this program again, running only the holder below.
class ChildHolder {
public:
    explicit ChildHolder(const std::filesystem::path& dataDir) {
        SetEnvironmentVariableW(L"VORTA_TEST_CHILD_DATA_DIR", dataDir.wstring().c_str());
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) +
                               L"\" --gtest_also_run_disabled_tests "
                               L"--gtest_filter=PipeInstanceChannelChild.DISABLED_HoldsTheDataDir";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
        }
        SetEnvironmentVariableW(L"VORTA_TEST_CHILD_DATA_DIR", nullptr);
    }
    ~ChildHolder() { Kill(); }
    bool started() const { return process_ != nullptr; }
    // Ends the process at once, as a crash would: nothing is released by the program.
    void Kill() {
        if (!process_) return;
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), INFINITE);
        process_.reset();
    }

private:
    UniqueHandle process_;
};

TEST(PipeInstanceChannelChild, DISABLED_HoldsTheDataDir) {
    const char* dir = std::getenv(kChildDirVariable);
    ASSERT_NE(dir, nullptr);
    PipeInstanceChannel channel{std::filesystem::path(dir)};
    ASSERT_TRUE(channel.Claim(Echo("child:")));
    Sleep(INFINITE);  // until killed
}

TEST(PipeInstanceChannel, AnotherProcessHoldsTheDataDirUntilItDies) {
    TempDir dir;
    ChildHolder child(dir.path());
    ASSERT_TRUE(child.started());
    PipeInstanceChannel here(dir.path());
    ASSERT_TRUE(WaitFor([&] { return here.Request("WHO", 1s).outcome == Outcome::Answered; }, 30s))
        << "the child never answered";
    EXPECT_EQ(here.Ask("WHO"), std::optional<std::string>("child:WHO\n"));
    EXPECT_FALSE(here.Claim(Echo("here:")));
    EXPECT_FALSE(PipeInstanceChannel(dir.path()).Lock());

    // Kept open here, the dead child's mutex lives on, abandoned.
    HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, (L"Global\\" + InstanceId(dir.path())).c_str());
    ASSERT_NE(opened, nullptr);
    UniqueHandle keptOpen(opened);
    child.Kill();
    EXPECT_EQ(here.Request("WHO", 1s).outcome, Outcome::NotRunning);
    ASSERT_TRUE(here.Claim(Echo("here:")));
    EXPECT_EQ(PipeInstanceChannel(dir.path()).Ask("WHO"), std::optional<std::string>("here:WHO\n"));
}

}  // namespace
}  // namespace vorta::platform

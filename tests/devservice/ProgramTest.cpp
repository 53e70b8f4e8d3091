// The vorta-devservice executable: startup line, logging, signals and exit codes.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "TestSupport.h"

extern char** environ;

namespace devservice::test {
namespace {

using ::testing::HasSubstr;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// The program run with its stdout and stderr captured; killed if the test ends early.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        out_ = std::make_unique<Fd>(out[0]);
        err_ = std::make_unique<Fd>(err[0]);
        Fd outWrite(out[1]), errWrite(err[1]);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        args.insert(args.begin(), VORTA_DEVSERVICE_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (rc != 0) throw std::runtime_error("cannot run " + std::string(VORTA_DEVSERVICE_EXE));
    }

    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    void signal(int sig) const { kill(pid_, sig); }

    // One line of stdout; nullopt at end of file or after a generous guard.
    std::optional<std::string> readLine() {
        while (true) {
            if (auto nl = outBuffer_.find('\n'); nl != std::string::npos) {
                std::string line = outBuffer_.substr(0, nl);
                outBuffer_.erase(0, nl + 1);
                return line;
            }
            if (!readMore(out_->get(), outBuffer_)) return std::nullopt;
        }
    }

    std::string restOfStdout() {
        while (readMore(out_->get(), outBuffer_)) {
        }
        return std::exchange(outBuffer_, {});
    }

    std::string stderrText() {
        std::string text;
        while (readMore(err_->get(), text)) {
        }
        return text;
    }

    // Exit code, or -1 if it did not exit normally.
    int wait() {
        int status = 0;
        waitpid(std::exchange(pid_, 0), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static bool readMore(int fd, std::string& into) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20'000) <= 0) return false;
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        into.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = 0;
    std::unique_ptr<Fd> out_, err_;
    std::string outBuffer_;
};

// Port announced by the startup line, or -1 if the line is not the expected one.
int listeningPort(const std::optional<std::string>& line) {
    const std::string prefix = "vorta-devservice listening on http://127.0.0.1:";
    const std::string suffix = DevService::kExchangePath;
    if (!line || line->rfind(prefix, 0) != 0 || line->size() <= prefix.size() + suffix.size() ||
        line->compare(line->size() - suffix.size(), suffix.size(), suffix) != 0) {
        return -1;
    }
    const std::string digits =
        line->substr(prefix.size(), line->size() - prefix.size() - suffix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(digits);
}

httplib::Result profile(int port, const std::string& user, const std::string& password) {
    return httplib::Client("127.0.0.1", port)
        .Post(DevService::kExchangePath, request(Exchange::Profile, user, password), "text/xml");
}

TEST(ProgramTest, AnnouncesItsPortLogsExchangesAndExitsCleanlyOnSigterm) {
    Program program({"--port", "0"});
    const auto first = program.readLine();
    const int port = listeningPort(first);
    ASSERT_GT(port, 0) << first.value_or("(no output)");

    auto res = profile(port, "demo", "demo123");
    ASSERT_TRUE(res);
    EXPECT_EQ(AnswerDoc(res->body).text("Result"), "0");
    const auto logged = program.readLine();
    ASSERT_TRUE(logged);
    EXPECT_THAT(*logged, HasSubstr("profile user=demo result=0 http=200"));

    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);
}

TEST(ProgramTest, QuietServesWithoutLoggingAndExitsCleanlyOnSigint) {
    Program program({"--quiet", "--host", "127.0.0.1", "--port", "0"});
    const int port = listeningPort(program.readLine());
    ASSERT_GT(port, 0);
    auto res = profile(port, "alice", "wrong");
    ASSERT_TRUE(res);
    EXPECT_EQ(AnswerDoc(res->body).text("Result"), "102");
    program.signal(SIGINT);
    EXPECT_EQ(program.wait(), 0);
    EXPECT_EQ(program.restOfStdout(), "");
}

TEST(ProgramTest, ServesTheFixtureFileGiven) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vorta-program-fixture-" + std::to_string(getpid()) + ".json");
    std::ofstream(path) << R"({"users":[{"name":"bob","password":"pw","userId":"42"}]})";
    Program program({"--quiet", "--port", "0", "--fixture", path.string()});
    const int port = listeningPort(program.readLine());
    std::filesystem::remove(path);
    ASSERT_GT(port, 0);
    auto bob = profile(port, "bob", "pw");
    ASSERT_TRUE(bob);
    EXPECT_EQ(AnswerDoc(bob->body).text("Result"), "0");
    auto demo = profile(port, "demo", "demo123");
    ASSERT_TRUE(demo);
    EXPECT_EQ(AnswerDoc(demo->body).text("Result"), "100");
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);
}

TEST(ProgramTest, PortalOptionHoldsRequestsBackUntilTheAddressLogsOn) {
    Program program({"--portal", "--port", "0"});
    const int port = listeningPort(program.readLine());
    ASSERT_GT(port, 0);
    httplib::Client cli("127.0.0.1", port);

    auto held = cli.Get(DevService::kLogoPath);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->get_header_value("Content-Type"), "text/html; charset=GBK");
    EXPECT_THAT(held->body, HasSubstr("/portal/login"));
    EXPECT_THAT(program.readLine().value_or(""), HasSubstr("portal page http=200"));

    auto login = cli.Post("/portal/login", "uid=demo&upwd=demo123", "text/plain");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 200);
    EXPECT_THAT(program.readLine().value_or(""), HasSubstr("portal logon user=demo accepted"));

    auto image = cli.Get(DevService::kLogoPath);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->body.substr(0, 6), "GIF89a");
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);
}

TEST(ProgramTest, BadFixtureIsReportedWithExitCodeOne) {
    Program program({"--port", "0", "--fixture", "/nonexistent/vorta-fixture.json"});
    EXPECT_EQ(program.wait(), 1);
    EXPECT_THAT(program.stderrText(), HasSubstr("cannot open fixture file"));
}

TEST(ProgramTest, PortInUseIsReportedWithExitCodeOne) {
    DevService holder(Fixture::builtIn());
    ASSERT_TRUE(holder.start("127.0.0.1", 0));
    Program program({"--port", std::to_string(holder.port())});
    EXPECT_EQ(program.wait(), 1);
    EXPECT_THAT(program.stderrText(), HasSubstr("cannot listen"));
}

TEST(ProgramTest, UnknownOptionIsAUsageError) {
    Program program({"--colour"});
    EXPECT_EQ(program.wait(), 2);
    EXPECT_THAT(program.stderrText(), HasSubstr("usage"));
}

}  // namespace
}  // namespace devservice::test

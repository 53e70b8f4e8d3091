// Runs a fuzz target without libFuzzer, as a reproducible test. Every file named on the command
// line (a directory stands for its files, sorted by name) goes to LLVMFuzzerTestOneInput as it
// is and then as pseudo-random mutations of it. The mutations depend only on --seed and the
// inputs given, so a run that fails fails again the same way. An input that ends the process
// (abort, crash, uncaught exception, or a sanitizer report when abort_on_error=1 as the tests
// set it) is saved as replay-crash-TARGET in the working directory.
//
//   TARGET [--mutations N] [--seed N] [--dict FILE] [--dump DIR] PATH...
//
// --dict adds the tokens of a libFuzzer dictionary to the mutations; --dump writes every input
// to DIR instead of running it.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VORTA_REPLAY_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VORTA_REPLAY_SANITIZER 1
#endif
#endif
#ifdef VORTA_REPLAY_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxInputSize = 64 * 1024;

// splitmix64: the same sequence with every compiler and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value in [0, n); 0 when n is 0.
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }

private:
    std::uint64_t state_;
};

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
}

Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Tokens worth inserting into any text input; a dictionary adds the target's own.
std::vector<Bytes> BuiltInTokens() {
    static constexpr std::string_view kTokens[] = {
        "<",     ">",        "</",    "/>", "\"",   "'",   "=",         "&",        "&#",
        "&amp;", ";",        "\r\n",  "\n", "\r",   " ",   "\t",        "%",        "%s",
        ":",     "/",        "//",    "?",  "#",    "@",   "\xFF",      "\xFE\xFF", "\xEF\xBB\xBF",
        "\x81",  "\xA1\xA1", "<?xml", "?>", "<!--", "-->", "<![CDATA[", "]]>"};
    std::vector<Bytes> tokens;
    for (const std::string_view token : kTokens) tokens.push_back(ToBytes(token));
    tokens.push_back(Bytes{0});
    return tokens;
}

// The quoted tokens of a libFuzzer dictionary (name="text" or "text"; \\, \" and \xNN escapes).
std::vector<Bytes> ReadDictionary(const fs::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read the dictionary " + file.string());
    std::vector<Bytes> tokens;
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t open = line.find('"');
        const std::size_t close = line.rfind('"');
        if (line.starts_with('#') || open == std::string::npos || close <= open) continue;
        Bytes token;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (line[i] != '\\') {
                token.push_back(static_cast<std::uint8_t>(line[i]));
            } else if (i + 1 < close && (line[i + 1] == '\\' || line[i + 1] == '"')) {
                token.push_back(static_cast<std::uint8_t>(line[++i]));
            } else if (i + 3 < close && line[i + 1] == 'x' &&
                       std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
                       std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
                token.push_back(
                    static_cast<std::uint8_t>(std::stoi(line.substr(i + 2, 2), nullptr, 16)));
                i += 3;
            } else {
                throw std::runtime_error("bad escape in " + file.string() + ": " + line);
            }
        }
        if (!token.empty()) tokens.push_back(std::move(token));
    }
    return tokens;
}

class Mutator {
public:
    Mutator(const std::vector<Bytes>& seeds, std::vector<Bytes> tokens)
        : seeds_(seeds), tokens_(std::move(tokens)) {}

    // The seed changed by one to six random steps.
    Bytes Mutate(const Bytes& seed, Random& random) const {
        Bytes bytes = seed;
        for (std::size_t steps = 1 + random.Below(6); steps > 0; --steps) Step(bytes, random);
        if (bytes.size() > kMaxInputSize) bytes.resize(kMaxInputSize);
        return bytes;
    }

private:
    static void Insert(Bytes& bytes, std::size_t at, const Bytes& chunk) {
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), chunk.begin(), chunk.end());
    }

    void Step(Bytes& b, Random& r) const {
        static constexpr std::uint8_t kInteresting[] = {
            0, 1, 0x7F, 0x80, 0xFF, '<', '>', '"', '\'', '&', '=', '/', ':', ' ', '\r', '\n'};
        const auto anywhere = [&] { return r.Below(b.size() + 1); };  // insertion points
        const auto somewhere = [&] { return r.Below(b.size()); };     // existing bytes
        switch (r.Below(10)) {
            case 0:
                if (!b.empty()) b[somewhere()] ^= static_cast<std::uint8_t>(1u << r.Below(8));
                break;
            case 1:
                if (!b.empty()) b[somewhere()] = static_cast<std::uint8_t>(r.Next());
                break;
            case 2:
                if (!b.empty()) b[somewhere()] = kInteresting[r.Below(std::size(kInteresting))];
                break;
            case 3: {
                Bytes chunk(1 + r.Below(8));
                for (auto& byte : chunk) byte = static_cast<std::uint8_t>(r.Next());
                Insert(b, anywhere(), chunk);
                break;
            }
            case 4:
                if (!b.empty()) {
                    const std::size_t at = somewhere();
                    const std::size_t length =
                        1 + r.Below(std::min<std::size_t>(16, b.size() - at));
                    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                            b.begin() + static_cast<std::ptrdiff_t>(at + length));
                }
                break;
            case 5:
                if (!b.empty()) {
                    const std::size_t from = somewhere();
                    const std::size_t length =
                        1 + r.Below(std::min<std::size_t>(64, b.size() - from));
                    const Bytes chunk(b.begin() + static_cast<std::ptrdiff_t>(from),
                                      b.begin() + static_cast<std::ptrdiff_t>(from + length));
                    Insert(b, anywhere(), chunk);
                }
                break;
            case 6:
                if (!tokens_.empty()) Insert(b, anywhere(), tokens_[r.Below(tokens_.size())]);
                break;
            case 7:
                if (!seeds_.empty()) {
                    // Splices in a piece of another seed, half of the time after cutting ours
                    // short.
                    const Bytes& other = seeds_[r.Below(seeds_.size())];
                    const std::size_t from = r.Below(other.size() + 1);
                    const std::size_t length = r.Below(other.size() - from + 1);
                    const Bytes chunk(other.begin() + static_cast<std::ptrdiff_t>(from),
                                      other.begin() + static_cast<std::ptrdiff_t>(from + length));
                    if (r.Below(2) == 0) b.resize(anywhere());
                    Insert(b, anywhere(), chunk);
                }
                break;
            case 8:
                b.resize(anywhere());
                break;
            default:
                if (!b.empty()) {
                    // Repeats a short piece: long runs of one construct.
                    const std::size_t from = somewhere();
                    const std::size_t length =
                        1 + r.Below(std::min<std::size_t>(16, b.size() - from));
                    const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(from),
                                      b.begin() + static_cast<std::ptrdiff_t>(from + length));
                    Bytes run;
                    for (std::size_t n = 2 + r.Below(200); n > 0; --n)
                        run.insert(run.end(), piece.begin(), piece.end());
                    Insert(b, from, run);
                }
                break;
        }
    }

    const std::vector<Bytes>& seeds_;
    std::vector<Bytes> tokens_;
};

// What the crash handlers save: set before each input runs, cleared after it.
const std::uint8_t* volatile g_input = nullptr;
volatile std::size_t g_inputSize = 0;
char g_where[512];
char g_savePath[PATH_MAX];
struct sigaction g_previous[NSIG];

void WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n <= 0) return;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void WriteText(int fd, const char* text) {
    WriteAll(fd, text, std::strlen(text));
}

// Async-signal-safe: only open, write and close.
void SaveCurrentInput() {
    const std::uint8_t* input = g_input;
    if (input == nullptr) return;
    g_input = nullptr;
    const int fd = ::open(g_savePath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        WriteAll(fd, input, g_inputSize);
        ::close(fd);
    }
    WriteText(STDERR_FILENO, "replay: failing input ");
    WriteText(STDERR_FILENO, g_where);
    WriteText(STDERR_FILENO, fd >= 0 ? " saved as " : " could not be saved as ");
    WriteText(STDERR_FILENO, g_savePath);
    WriteText(STDERR_FILENO, "\n");
}

// Saves the input, then puts the previous handler back; the signal is raised again (abort)
// or the faulting instruction repeats, and the previous handler or the default action follows.
extern "C" void OnFatalSignal(int signal) {
    const int savedErrno = errno;
    SaveCurrentInput();
    ::sigaction(signal, &g_previous[signal], nullptr);
    errno = savedErrno;
}

void InstallCrashHandlers(const std::string& target) {
    std::snprintf(g_savePath, sizeof g_savePath, "replay-crash-%s", target.c_str());
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        struct sigaction action {};
        action.sa_handler = OnFatalSignal;
        action.sa_flags = SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, &g_previous[signal]);
    }
#ifdef VORTA_REPLAY_SANITIZER
    // A sanitizer that halts without a signal still lets the input be saved.
    __sanitizer_set_death_callback(SaveCurrentInput);
#endif
}

// An exception out of the target ends the process here, with the input saved.
void Run(const Bytes& input, const std::string& name, std::size_t mutation) noexcept {
    if (mutation == 0)
        std::snprintf(g_where, sizeof g_where, "%s", name.c_str());
    else
        std::snprintf(g_where, sizeof g_where, "%s, mutation %zu", name.c_str(), mutation);
    g_inputSize = input.size();
    g_input = input.data();
    LLVMFuzzerTestOneInput(input.data(), input.size());
    g_input = nullptr;
}

Bytes ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

struct Options {
    std::size_t mutations = 300;
    std::uint64_t seed = 1;
    fs::path dict;
    fs::path dump;
    std::vector<fs::path> files;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    std::vector<fs::path> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--mutations" && hasValue)
            options.mutations = std::stoull(argv[++i]);
        else if (arg == "--seed" && hasValue)
            options.seed = std::stoull(argv[++i]);
        else if (arg == "--dict" && hasValue)
            options.dict = argv[++i];
        else if (arg == "--dump" && hasValue)
            options.dump = argv[++i];
        else if (arg.starts_with("--"))
            throw std::runtime_error("unknown option " + std::string(arg));
        else
            paths.emplace_back(arg);
    }
    for (const fs::path& path : paths) {
        if (!fs::is_directory(path)) {
            options.files.push_back(path);
            continue;
        }
        std::vector<fs::path> inside;
        for (const fs::directory_entry& entry : fs::directory_iterator(path))
            if (entry.is_regular_file()) inside.push_back(entry.path());
        std::sort(inside.begin(), inside.end());
        options.files.insert(options.files.end(), inside.begin(), inside.end());
    }
    if (options.files.empty()) throw std::runtime_error("no input files");
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string target = fs::path(argv[0]).filename().string();
    try {
        const Options options = ParseOptions(argc, argv);
        std::vector<Bytes> seeds;
        for (const fs::path& file : options.files) seeds.push_back(ReadFile(file));
        std::vector<Bytes> tokens = BuiltInTokens();
        if (!options.dict.empty()) {
            std::vector<Bytes> own = ReadDictionary(options.dict);
            tokens.insert(tokens.end(), own.begin(), own.end());
        }
        const Mutator mutator(seeds, std::move(tokens));
        if (options.dump.empty()) InstallCrashHandlers(target);

        std::size_t runs = 0;
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            const std::string name = options.files[i].filename().string();
            Random random(options.seed ^ Fnv1a(name));
            for (std::size_t m = 0; m <= options.mutations; ++m) {
                const Bytes input = m == 0 ? seeds[i] : mutator.Mutate(seeds[i], random);
                if (options.dump.empty())
                    Run(input, options.files[i].string(), m);
                else
                    WriteFile(options.dump / (name + "-" + std::to_string(m)), input);
                ++runs;
            }
        }
        std::printf("%s: %zu seed files, %zu inputs %s\n", target.c_str(), seeds.size(), runs,
                    options.dump.empty() ? "passed" : "written");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", target.c_str(), e.what());
        return 2;
    }
}

// vorta-devservice: serves the client's XML protocol on loopback for the demo and for tests.
#include <signal.h>

#include <charconv>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "DevService.h"

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 8080;
    std::string fixture;  // empty: built-in
    bool quiet = false;
    bool portal = false;
    bool portalRedirect = false;
    std::string tlsCert, tlsKey;  // both given: https
};

constexpr int kUsageError = 2;

void usage(std::ostream& out) {
    out << "usage: vorta-devservice [--host ADDR] [--port N] [--fixture FILE] [--portal] "
           "[--portal-redirect] [--tls-cert FILE --tls-key FILE] [--quiet]\n"
           "  --host ADDR     address to listen on (default 127.0.0.1)\n"
           "  --port N        port to listen on, 0 for any free port (default 8080)\n"
           "  --fixture FILE  users and domains as JSON (default: built-in demo fixture)\n"
           "  --portal        act as a captive web portal until each address logs on\n"
           "  --portal-redirect  the portal redirects to its page instead of answering with it\n"
           "  --tls-cert FILE, --tls-key FILE  serve https with this PEM certificate and key\n"
           "  --quiet         do not log each request\n";
}

std::optional<int> parsePort(std::string_view text) {
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Returns an exit code when the program should end right away.
std::optional<int> parseArgs(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            return EXIT_SUCCESS;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--portal") {
            options.portal = true;
        } else if (arg == "--portal-redirect") {
            options.portal = true;
            options.portalRedirect = true;
        } else if ((arg == "--host" || arg == "--port" || arg == "--fixture" ||
                    arg == "--tls-cert" || arg == "--tls-key") &&
                   !hasValue) {
            std::cerr << "vorta-devservice: " << arg << " needs a value\n";
            return kUsageError;
        } else if (arg == "--host") {
            options.host = argv[++i];
        } else if (arg == "--fixture") {
            options.fixture = argv[++i];
        } else if (arg == "--tls-cert") {
            options.tlsCert = argv[++i];
        } else if (arg == "--tls-key") {
            options.tlsKey = argv[++i];
        } else if (arg == "--port") {
            const auto port = parsePort(argv[++i]);
            if (!port) {
                std::cerr << "vorta-devservice: bad port \"" << argv[i] << "\"\n";
                return kUsageError;
            }
            options.port = *port;
        } else {
            std::cerr << "vorta-devservice: unknown option \"" << arg << "\"\n";
            usage(std::cerr);
            return kUsageError;
        }
    }
    return std::nullopt;
}

std::string urlHost(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto code = parseArgs(argc, argv, options)) return *code;
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        std::cerr << "vorta-devservice: --tls-cert and --tls-key go together\n";
        return kUsageError;
    }

    std::optional<devservice::Fixture> fixture;
    try {
        fixture = options.fixture.empty() ? devservice::Fixture::builtIn()
                                          : devservice::Fixture::load(options.fixture);
    } catch (const devservice::FixtureError& e) {
        std::cerr << "vorta-devservice: " << e.what() << '\n';
        return EXIT_FAILURE;
    }

    // A shell starts background jobs with SIGINT ignored; this service must still stop on it.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    // Blocked before any thread exists so that every thread inherits the mask and the signals
    // are taken only by sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    devservice::DevService service(std::move(*fixture));
    if (!options.quiet) service.setLog(&std::cout);
    service.setPortal(options.portal);
    service.setPortalRedirect(options.portalRedirect);
    if (!options.tlsCert.empty()) service.setTls(options.tlsCert, options.tlsKey);
    // Printed before the first request is served, so it is always the first line of output.
    service.setOnListening([&](int port) {
        std::cout << "vorta-devservice listening on "
                  << (options.tlsCert.empty() ? "http" : "https") << "://" << urlHost(options.host)
                  << ':' << port << devservice::DevService::kExchangePath << std::endl;
    });
    if (!service.start(options.host, options.port)) {
        std::cerr << "vorta-devservice: cannot listen on " << options.host << " port "
                  << options.port << '\n';
        return EXIT_FAILURE;
    }

    int received = 0;
    sigwait(&signals, &received);
    service.stop();
    return EXIT_SUCCESS;
}

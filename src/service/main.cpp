// numtrail-service: the local attribution service as a program of its own.
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "service/attribution_service.h"
#include "service/data_file.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: numtrail-service [options]\n"
    "Answers attribution queries of Chinese mobile numbers over HTTP.\n"
    "\n"
    "  --listen ADDRESS  address to listen on (default 127.0.0.1)\n"
    "  --port N          port to listen on, 0 for any free port (default 8360)\n"
    "  --data FILE       7-digit prefix data file; its entries win over built-in data\n"
    "                    (default: $XDG_DATA_HOME/Numtrail/phone.dat when it exists)\n"
    "  --limit N         refuse with \"Runtime Error\" past N queries a second (default: no "
    "limit)\n"
    "\n"
    "  --upstream URL    ask this attribution endpoint (callback format, without query) for\n"
    "                    the prefixes local data does not place, once per prefix, and keep\n"
    "                    its answers in the cache; its \"Runtime Error\" is passed on\n"
    "  --cache FILE      the cache of upstream answers, an SQLite file that several services\n"
    "                    may share (default $XDG_CACHE_HOME/Numtrail/prefixes.sqlite, or\n"
    "                    ~/.cache/Numtrail/prefixes.sqlite)\n"
    "  --upstream-interval MS\n"
    "                    at most one upstream request in MS milliseconds (default 1000)\n"
    "  --upstream-timeout S\n"
    "                    an upstream request not answered in S seconds has failed; the query\n"
    "                    is answered from local data (default 10)\n"
    "  --cache-days N    ask again for answers older than N days (default 180; answers that\n"
    "                    place nothing, after one day)\n"
    "  --help            show this text\n"
    "\n"
    "With --upstream, GET /stats gives the counters as JSON.\n";

bool ParseInt(std::string_view text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

// Every option but --help takes a value.
constexpr std::array<std::string_view, 9> kValueOptions = {
    "--listen",           "--port",  "--data",      "--limit", "--upstream", "--upstream-interval",
    "--upstream-timeout", "--cache", "--cache-days"};

int UsageError(std::string_view message) {
    std::cerr << "numtrail-service: " << message << "\n\n" << kUsage;
    return 2;
}

// Which data answers, for the one line the service writes at start.
std::string DataText(const std::optional<std::filesystem::path>& file) {
    if (file) return "data file " + file->string() + ", built-in data for the prefixes it lacks";
    const std::filesystem::path default_file = numtrail::service::DefaultDataFilePath();
    return "built-in data" + (default_file.empty()
                                  ? std::string()
                                  : " (no data file at " + default_file.string() + ")");
}

}  // namespace

int main(int argc, char** argv) {
    numtrail::service::ServiceOptions options;
    numtrail::service::UpstreamOptions upstream;
    std::optional<std::string> upstream_url;
    bool upstream_only_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (std::find(kValueOptions.begin(), kValueOptions.end(), arg) == kValueOptions.end())
            return UsageError("unknown option " + std::string(arg));
        if (i + 1 >= argc) return UsageError(std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        int number = 0;
        if (arg == "--listen") {
            options.listen = value;
        } else if (arg == "--data") {
            options.data_file = std::filesystem::path(value);
        } else if (arg == "--port") {
            if (!ParseInt(value, 0, 65535, options.port))
                return UsageError("--port needs a number from 0 to 65535");
        } else if (arg == "--limit") {
            if (!ParseInt(value, 0, 1000000000, options.limit_per_second))
                return UsageError("--limit needs a number of queries a second (0 for no limit)");
        } else if (arg == "--upstream") {
            upstream_url = value;
        } else if (arg == "--cache") {
            if (value.empty()) return UsageError("--cache needs a file name");
            upstream.cache_file = std::filesystem::path(value);
            upstream_only_given = true;
        } else if (arg == "--upstream-interval") {
            if (!ParseInt(value, 0, 3600000, number))
                return UsageError("--upstream-interval needs milliseconds from 0 to 3600000");
            upstream.interval = std::chrono::milliseconds(number);
            upstream_only_given = true;
        } else if (arg == "--upstream-timeout") {
            if (!ParseInt(value, 1, 3600, number))
                return UsageError("--upstream-timeout needs seconds from 1 to 3600");
            upstream.timeout = std::chrono::seconds(number);
            upstream_only_given = true;
        } else {
            if (!ParseInt(value, 1, 36500, upstream.cache_days))
                return UsageError("--cache-days needs a number of days from 1 to 36500");
            upstream_only_given = true;
        }
    }
    if (upstream_url) {
        if (const std::string problem = numtrail::service::UpstreamUrlProblem(*upstream_url);
            !problem.empty())
            return UsageError(problem);
        upstream.url = *upstream_url;
        upstream.warn = [](const std::string& line) {
            std::cerr << "numtrail-service: " << line << std::endl;
        };
        options.upstream = std::move(upstream);
    } else if (upstream_only_given) {
        return UsageError(
            "--cache, --upstream-interval, --upstream-timeout and --cache-days "
            "go with --upstream");
    }

    if (!options.data_file) options.data_file = numtrail::service::DefaultDataFile();

    // Block the stop signals before any service thread exists, so that they inherit the mask
    // and only sigwait below receives them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    std::unique_ptr<numtrail::service::AttributionService> service;
    try {
        service = numtrail::service::AttributionService::Start(options);
    } catch (const std::exception& error) {
        std::cerr << "numtrail-service: " << error.what() << '\n';
        return 1;
    }
    std::cerr << "numtrail-service: " << DataText(options.data_file) << '\n';
    if (options.upstream)
        std::cerr << "numtrail-service: prefixes it does not place are asked of "
                  << options.upstream->url << ", cached in "
                  << service->UpstreamCacheFile().string() << '\n';
    std::cout << "numtrail-service listening on " << options.listen << ':' << service->Port()
              << std::endl;

    int signal = 0;
    sigwait(&stop_signals, &signal);
    service->Stop();
    return 0;
}

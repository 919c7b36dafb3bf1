// numtrail-service: the local attribution service as a program of its own.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "attribution/data_file.h"
#include "attribution/protocol.h"
#include "cli/command_line.h"
#include "service/attribution_service.h"

namespace {

using numtrail::cli::WholeNumber;

// Which data answers, for the one line the service writes at start.
std::string DataText(const std::optional<std::filesystem::path>& file) {
    if (file) return "data file " + file->string() + ", built-in data for the prefixes it lacks";
    const std::filesystem::path default_file = numtrail::attribution::DefaultDataFilePath();
    return "built-in data" + (default_file.empty()
                                  ? std::string()
                                  : " (no data file at " + default_file.string() + ")");
}

// A --server-name as the Host header names it: "numtrail.example", or an address, also an
// IPv6 one with or without its brackets; nullopt for anything else, a port included.
std::optional<std::string> ServerName(const std::string& text) {
    if (numtrail::service::ParseIpAddress(text)) return text;
    const auto host = numtrail::service::SplitHost(text);
    if (!host || host->port) return std::nullopt;
    return std::string(host->host);
}

}  // namespace

int main(int argc, char** argv) {
    numtrail::service::ServiceOptions options;
    numtrail::attribution::UpstreamOptions upstream;
    CLI::App app("Answers attribution queries of Chinese mobile numbers over HTTP.",
                 "numtrail-service");
    numtrail::cli::AddCommonOptions(app);
    app.footer(
        "Open http://ADDRESS:PORT/ in a browser for the team page; its API is POST "
        "/api/attribute and GET /api/health. With --upstream, GET /stats gives the counters "
        "as JSON.");
    app.add_option(
           "--listen", options.listen,
           "address to listen on (default 127.0.0.1); another than loopback needs --allow-from")
        ->type_name("ADDRESS");
    app.add_option("--port", options.port, "port to listen on, 0 for any free port (default 8360)")
        ->type_name("N")
        ->check(WholeNumber(0, 65535));
    std::vector<std::string> allow_from;
    app.add_option("--allow-from", allow_from,
                   "answer requests from these networks only, such as 192.168.1.0/24 or "
                   "fd00::/8, comma-separated (default: this machine's loopback only); needed "
                   "to listen beyond loopback")
        ->type_name("CIDR[,CIDR...]")
        ->delimiter(',')
        ->check([](const std::string& text) {
            return numtrail::service::ParseCidr(text)
                       ? std::string()
                       : "'" + text + "' is not a network such as 192.168.1.0/24";
        });
    std::vector<std::string> server_names;
    app.add_option("--server-name", server_names,
                   "also answer requests for NAME, the DNS name the service is reached by "
                   "(on any port, as behind a proxy); may be given more than once")
        ->type_name("NAME")
        ->check([](const std::string& name) {
            return ServerName(name) ? std::string() : "'" + name + "' is not a host name";
        });
    std::size_t max_upload_mib = options.limits.max_upload / (1024 * 1024);
    app.add_option("--max-upload", max_upload_mib,
                   "refuse a request body over MIB mebibytes with 413 (default 64)")
        ->type_name("MIB")
        ->check(WholeNumber(1, 4096));
    app.add_option("--max-lines", options.max_lines,
                   "refuse a list of the team page's API over N lines with 413 (default "
                   "2000000)")
        ->type_name("N")
        ->check(WholeNumber(1, 1000000000));
    auto max_seconds = std::chrono::duration_cast<std::chrono::seconds>(options.max_time).count();
    app.add_option("--max-seconds", max_seconds,
                   "give a request of the team page's API S seconds to read its list and send "
                   "every row; past them 413, or an answer cut short that says so (default 300)")
        ->type_name("S")
        ->check(WholeNumber(1, 86400));
    std::string data_file;
    CLI::Option* data = app.add_option("--data", data_file,
                                       "7-digit prefix data file; its entries win over built-in "
                                       "data (default: $XDG_DATA_HOME/Numtrail/phone.dat when it "
                                       "exists)")
                            ->type_name("FILE");
    app.add_option("--limit", options.limit_per_second,
                   "refuse with \"" + std::string(numtrail::attribution::kRefusalMarker) +
                       "\" past N queries a second (default 0: no limit)")
        ->type_name("N")
        ->check(WholeNumber(0, 1000000000));

    std::string upstream_url;
    CLI::Option* upstream_option =
        app.add_option("--upstream", upstream_url,
                       "ask this attribution endpoint (callback format, without query) for the "
                       "prefixes local data does not place, once per prefix, and keep its answers "
                       "in the cache; its \"" +
                           std::string(numtrail::attribution::kRefusalMarker) + "\" is passed on")
            ->type_name("URL");
    std::string cache_file;
    auto interval_ms = upstream.interval.count();
    auto timeout_s = std::chrono::duration_cast<std::chrono::seconds>(upstream.timeout).count();
    CLI::Option* const upstream_only[] = {
        app.add_option("--cache", cache_file,
                       "the cache of upstream answers, an SQLite file that several services may "
                       "share (default $XDG_CACHE_HOME/Numtrail/prefixes.sqlite, or "
                       "~/.cache/Numtrail/prefixes.sqlite)")
            ->type_name("FILE")
            ->check([](const std::string& name) {
                return name.empty() ? std::string("--cache needs a file name") : std::string();
            }),
        app.add_option("--upstream-interval", interval_ms,
                       "at most one upstream request in MS milliseconds (default 1000)")
            ->type_name("MS")
            ->check(WholeNumber(0, 3600000)),
        app.add_option("--upstream-timeout", timeout_s,
                       "an upstream request not answered in S seconds has failed; the query is "
                       "answered from local data (default 10)")
            ->type_name("S")
            ->check(WholeNumber(1, 3600)),
        app.add_option("--cache-days", upstream.cache_days,
                       "ask again for answers older than N days (default 180; answers that place "
                       "nothing, after one day)")
            ->type_name("N")
            ->check(WholeNumber(1, 36500)),
    };
    for (CLI::Option* option : upstream_only) option->needs(upstream_option);
    if (const auto status = numtrail::cli::Parse(app, argc, argv)) return *status;

    if (data->count() > 0) options.data_file = std::filesystem::path(data_file);
    for (const std::string& text : allow_from)
        options.allow_from.push_back(*numtrail::service::ParseCidr(text));
    for (const std::string& name : server_names) options.server_names.push_back(*ServerName(name));
    options.limits.max_upload = max_upload_mib * 1024 * 1024;
    options.max_time = std::chrono::seconds(max_seconds);
    if (upstream_option->count() > 0) {
        if (const std::string problem = numtrail::attribution::UpstreamUrlProblem(upstream_url);
            !problem.empty())
            return numtrail::cli::UsageError(app, problem);
        upstream.url = upstream_url;
        if (!cache_file.empty()) upstream.cache_file = std::filesystem::path(cache_file);
        upstream.interval = std::chrono::milliseconds(interval_ms);
        upstream.timeout = std::chrono::seconds(timeout_s);
        upstream.warn = [](const std::string& line) {
            std::cerr << "numtrail-service: " << line << std::endl;
        };
        options.upstream = std::move(upstream);
    }

    if (!options.data_file) options.data_file = numtrail::attribution::DefaultDataFile();

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
    // An IPv6 address in brackets, as a URL and the Host header write it.
    const bool v6 = options.listen.find(':') != std::string::npos;
    std::cout << "numtrail-service listening on " << (v6 ? "[" : "") << options.listen
              << (v6 ? "]:" : ":") << service->Port() << '\n';
    // Whoever started the service learns its port from this line: without it, stop.
    if (!numtrail::cli::FlushStandardOutput(app.get_name())) {
        service->Stop();
        return numtrail::cli::kExitFailed;
    }

    int signal = 0;
    sigwait(&stop_signals, &signal);
    service->Stop();
    return 0;
}

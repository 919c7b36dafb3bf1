// numtrail-service: the local attribution service as a program of its own.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "product/protocol.h"
#include "service/attribution_service.h"
#include "service/data_file.h"

namespace {

const std::string kUsage =
    std::string(
        "Usage: numtrail-service [options]\n"
        "Answers attribution queries of Chinese mobile numbers over HTTP.\n"
        "\n"
        "  --listen ADDRESS  address to listen on (default 127.0.0.1)\n"
        "  --port N          port to listen on, 0 for any free port (default 8360)\n"
        "  --data FILE       7-digit prefix data file; its entries win over built-in data\n"
        "                    (default: $XDG_DATA_HOME/Numtrail/phone.dat when it exists)\n"
        "  --limit N         refuse with \"") +
    numtrail::protocol::kRefusalMarker +
    "\" past N queries a second (default: no limit)\n"
    "  --help            show this text\n";

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
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg != "--listen" && arg != "--port" && arg != "--data" && arg != "--limit")
            return UsageError("unknown option " + std::string(arg));
        if (i + 1 >= argc) return UsageError(std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        if (arg == "--listen") {
            options.listen = value;
        } else if (arg == "--data") {
            options.data_file = std::filesystem::path(value);
        } else if (arg == "--port") {
            if (!ParseInt(value, 0, 65535, options.port))
                return UsageError("--port needs a number from 0 to 65535");
        } else if (!ParseInt(value, 0, 1000000000, options.limit_per_second)) {
            return UsageError("--limit needs a number of queries a second (0 for no limit)");
        }
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
    std::cout << "numtrail-service listening on " << options.listen << ':' << service->Port()
              << std::endl;

    int signal = 0;
    sigwait(&stop_signals, &signal);
    service->Stop();
    return 0;
}

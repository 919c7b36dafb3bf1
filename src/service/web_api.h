#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "attribution/attributor.h"
#include "attribution/local_attributor.h"
#include "service/http_server.h"

namespace numtrail::service {

// The page's paths and the API's.
inline constexpr std::string_view kAttributePath = "/api/attribute";
inline constexpr std::string_view kHealthPath = "/api/health";

// What every answer of the page and the API carries: the page runs only its own files and
// talks only to its own service, nothing may show it inside another site's frame, no answer
// is read as another type than it says, and no address of the service leaves with a link.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src "
    "'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct WebApiOptions {
    std::uint64_t max_lines = 2'000'000;          // lines of one request's lists
    std::size_t max_upload = 64u << 20;           // as the transport refuses it; told to the page
    std::chrono::milliseconds max_time{300'000};  // reading a request's lists and answering it
    std::string version;
    // What answers, as /api/health tells it: the data file's name (never its folder, which
    // would name the user's home) and version, the built-in data, an online service.
    std::string data_file_name;
    std::string data_version;
    bool builtin_data = true;
    bool upstream = false;
};

// The team page and its API over the attribution core: the page's files, GET /api/health and
// POST /api/attribute (docs/web-api.md). Requests reach it past the transport's guards.
class WebApi {
  public:
    WebApi(WebApiOptions options, const attribution::LocalAttributor& local,
           attribution::Attributor* online)
        : options_(std::move(options)), local_(local), online_(online) {}

    // True when the request is for the page, one of its files or the API, which `res` then
    // answers; false for every other request, which the caller answers.
    bool Handle(const HttpRequest& req, HttpResponse& res) const;

  private:
    void Attribute(const HttpRequest& req, HttpResponse& res) const;
    std::string HealthJson() const;

    WebApiOptions options_;
    const attribution::LocalAttributor& local_;
    attribution::Attributor* online_;
};

// Whether a request target's query names the parameter `key` (with or without a value).
bool HasQueryParameter(std::string_view query, std::string_view key);

}  // namespace numtrail::service

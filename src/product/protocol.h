#pragma once

// What the desktop program and the attribution service agree on over HTTP. Qt-free, so
// that the service (plain C++) and the program's Qt code read the same strings.

#include <cstdint>

namespace numtrail::protocol {

// The version manifest: "sjhm:" + version + "|", served at this path of the update server.
inline constexpr char kManifestPath[] = "/version/main.txt";
inline constexpr char kManifestKey[] = "sjhm:";
inline constexpr char kManifestVersionEnd = '|';

// An attribution query: endpoint + "?m=" + number + "&output=json&callback=querycallback".
inline constexpr char kNumberKey[] = "m";
inline constexpr char kOutputKey[] = "output";
inline constexpr char kOutputJson[] = "json";
inline constexpr char kCallbackKey[] = "callback";
inline constexpr char kCallbackName[] = "querycallback";

// The keys of the answer's fields, each written as "Key":"value".
inline constexpr char kMobileKey[] = "Mobile";
inline constexpr char kQueryResultKey[] = "QueryResult";
inline constexpr char kProvinceKey[] = "Province";
inline constexpr char kCityKey[] = "City";
inline constexpr char kAreaCodeKey[] = "AreaCode";
inline constexpr char kPostCodeKey[] = "PostCode";
inline constexpr char kCardTypeKey[] = "TO";

// An answer holding this text anywhere means the service refuses for now.
inline constexpr char kRefusalMarker[] = "Runtime Error";

// The program reads no answer larger than this; a real one is a few hundred bytes.
inline constexpr std::int64_t kMaxAnswerBytes = 4 * 1024 * 1024;

}  // namespace numtrail::protocol

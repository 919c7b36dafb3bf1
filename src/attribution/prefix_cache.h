#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "attribution/record.h"

struct sqlite3;
struct sqlite3_stmt;

namespace numtrail::attribution {

// One line of warning for the user (a damaged cache, a failed write).
using WarningSink = std::function<void(const std::string& line)>;

// A cache that cannot be read where reading it is all that is asked (see OpenToRead).
class PrefixCacheError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CachedPrefix {
    Record record;
    std::int64_t fetched = 0;  // when the answer came, in seconds since 1970 (UTC)
    std::string origin;        // the online service that gave it (see PrefixCache)
};

// The origin of the rows a cache held before rows named their online service. Nobody can
// say which service gave them, so no resolver is served from them (that could pass one
// service's answers off as another's); they are kept for numtrail-data from-cache, and the
// prefixes are asked again.
inline constexpr char kUnknownOrigin[] = "unknown";

// Online answers kept per online service (its origin: scheme://host:port) and 7-digit prefix
// in an SQLite file: one row per origin and prefix with the five fields and the time fetched.
// A cache of the earlier layout (one row per prefix) has its rows moved under kUnknownOrigin
// when it is opened to be written. The journal is a write-ahead log and every store is its own
// committed transaction, so a crash or a kill loses nothing already stored, and several
// processes can share the file (a writer waits for another's write instead of failing).
//
// The cache never stops its user from starting: a file that is not a readable database is
// renamed FILE.corrupt-YYYYMMDD-HHMMSS (with its log) and a fresh one is started; a file
// that cannot be used at all (no permission, another program's database) leaves the cache in
// memory for this run. Both are reported through `warn`. Thread-safe.
class PrefixCache {
  public:
    // `now` (seconds since 1970) names the file moved aside. Find and Store use the rows of
    // `origin`.
    PrefixCache(const std::filesystem::path& file, std::int64_t now, WarningSink warn,
                std::string origin = kUnknownOrigin);
    ~PrefixCache();
    PrefixCache(const PrefixCache&) = delete;
    PrefixCache& operator=(const PrefixCache&) = delete;

    // Opens an existing cache only to read it, while services may go on using it: nothing is
    // created, moved aside or written. Throws PrefixCacheError naming the file when it is
    // missing or is no readable cache.
    static std::unique_ptr<PrefixCache> OpenToRead(const std::filesystem::path& file);

    std::optional<CachedPrefix> Find(std::uint32_t prefix);
    // Replaces what the cache holds for the prefix; a failed write is reported, not thrown.
    void Store(std::uint32_t prefix, const Record& record, std::int64_t fetched);

    // Calls `row` with every prefix the cache holds, in ascending order, and its answer: of
    // `origin` only when one is given, or else the latest fetched of any origin. Throws
    // PrefixCacheError when the rows cannot be read. `row` must not use the cache.
    void ForEach(const std::function<void(std::uint32_t prefix, const CachedPrefix&)>& row,
                 const std::optional<std::string>& origin = std::nullopt);

  private:
    PrefixCache() = default;
    enum class Opened { Ok, NotADatabase, Unusable };
    Opened Open(const std::string& name, std::string& error);
    void Close();
    void Warn(const std::string& line) const;

    std::mutex mutex_;
    WarningSink warn_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* find_ = nullptr;
    sqlite3_stmt* store_ = nullptr;
    std::string name_;     // the file, for messages
    std::string origin_;   // whose rows Find and Store use
    bool legacy_ = false;  // opened to read, in the earlier layout
};

// Numtrail/prefixes.sqlite in $XDG_CACHE_HOME, or in ~/.cache when that is unset or not an
// absolute path; empty when neither variable gives a place.
std::filesystem::path DefaultCacheFilePath();

}  // namespace numtrail::attribution

#include "attribution/prefix_cache.h"

#include <sqlite3.h>

#include <array>
#include <ctime>

#include "attribution/data_file.h"

namespace numtrail::attribution {

namespace {

// Long enough for another process's write to finish; a store is one small row.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS prefixes ("
    " prefix INTEGER PRIMARY KEY,"
    " province TEXT NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,"
    " area_code TEXT NOT NULL, card_type TEXT NOT NULL,"
    " fetched INTEGER NOT NULL)";
constexpr const char* kFind =
    "SELECT province, city, postcode, area_code, card_type, fetched FROM prefixes"
    " WHERE prefix = ?1";
constexpr const char* kStore =
    "INSERT OR REPLACE INTO prefixes"
    " (prefix, province, city, postcode, area_code, card_type, fetched)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";

bool Damaged(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// "20260308-142501" in UTC.
std::string TimeStamp(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y%m%d-%H%M%S", &parts);
    return text.data();
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

}  // namespace

PrefixCache::PrefixCache(const std::filesystem::path& file, std::int64_t now, WarningSink warn)
    : warn_(std::move(warn)) {
    std::error_code ignored;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ignored);

    std::string error = "no folder for it: neither $XDG_CACHE_HOME nor $HOME is set";
    Opened opened = file.empty() ? Opened::Unusable : Open(file.string(), error);
    if (opened == Opened::NotADatabase) {
        Close();
        const std::filesystem::path aside = file.string() + ".corrupt-" + TimeStamp(now);
        std::error_code moved;
        std::filesystem::rename(file, aside, moved);
        if (!moved) {
            // The log belongs to the damaged file: replayed into a fresh one it would damage it.
            std::filesystem::rename(file.string() + "-wal", aside.string() + "-wal", ignored);
            std::filesystem::remove(file.string() + "-shm", ignored);
            Warn("the cache " + file.string() + " is not a readable database (" + error +
                 "); moved it to " + aside.string() + " and started a fresh cache");
            opened = Open(file.string(), error);
        } else {
            error += "; cannot move it aside: " + moved.message();
            opened = Opened::Unusable;
        }
    }
    if (opened == Opened::Ok) return;
    Close();
    Warn("cannot use the cache " + file.string() + " (" + error +
         "); answers are kept in memory for this run only");
    if (Open(":memory:", error) != Opened::Ok) Close();
}

PrefixCache::~PrefixCache() { Close(); }

PrefixCache::Opened PrefixCache::Open(const std::string& name, std::string& error) {
    int code =
        sqlite3_open_v2(name.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    const auto failed = [&](int rc) {
        error = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        return Damaged(rc) ? Opened::NotADatabase : Opened::Unusable;
    };
    if (code != SQLITE_OK) return failed(code);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // Every statement below reads the file: a damaged one shows here, not at the first query.
    for (const char* sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", kSchema}) {
        code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (code != SQLITE_OK) return failed(code);
    }
    std::string check;
    code = sqlite3_exec(
        db_, "PRAGMA quick_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0] != nullptr ? values[0] : "";
            return 0;
        },
        &check, nullptr);
    if (code != SQLITE_OK) return failed(code);
    if (check != "ok") {
        error = check.substr(0, 200);
        return Opened::NotADatabase;
    }
    // A table of the same name with other columns: some other program's file.
    code = sqlite3_prepare_v2(db_, kFind, -1, &find_, nullptr);
    if (code == SQLITE_OK) code = sqlite3_prepare_v2(db_, kStore, -1, &store_, nullptr);
    if (code != SQLITE_OK) return failed(code);
    return Opened::Ok;
}

void PrefixCache::Close() {
    sqlite3_finalize(find_);
    sqlite3_finalize(store_);
    sqlite3_close(db_);
    find_ = store_ = nullptr;
    db_ = nullptr;
}

void PrefixCache::Warn(const std::string& line) const {
    if (warn_) warn_(line);
}

std::optional<CachedPrefix> PrefixCache::Find(std::uint32_t prefix) {
    std::lock_guard lock(mutex_);
    if (find_ == nullptr) return std::nullopt;
    sqlite3_bind_int64(find_, 1, prefix);
    std::optional<CachedPrefix> found;
    const int code = sqlite3_step(find_);
    if (code == SQLITE_ROW) {
        found.emplace();
        Record& r = found->record;
        r.province = ColumnText(find_, 0);
        r.city = ColumnText(find_, 1);
        r.postcode = ColumnText(find_, 2);
        r.area_code = ColumnText(find_, 3);
        r.card_type = ColumnText(find_, 4);
        found->fetched = sqlite3_column_int64(find_, 5);
    } else if (code != SQLITE_DONE) {
        Warn("cannot read the cache: " + std::string(sqlite3_errmsg(db_)));
    }
    sqlite3_reset(find_);
    return found;
}

void PrefixCache::Store(std::uint32_t prefix, const Record& record, std::int64_t fetched) {
    std::lock_guard lock(mutex_);
    if (store_ == nullptr) return;
    sqlite3_bind_int64(store_, 1, prefix);
    int column = 2;
    for (const std::string* field :
         {&record.province, &record.city, &record.postcode, &record.area_code, &record.card_type})
        sqlite3_bind_text(store_, column++, field->data(), static_cast<int>(field->size()),
                          SQLITE_TRANSIENT);
    sqlite3_bind_int64(store_, 7, fetched);
    if (sqlite3_step(store_) != SQLITE_DONE)
        Warn("cannot write to the cache: " + std::string(sqlite3_errmsg(db_)));
    sqlite3_reset(store_);
    sqlite3_clear_bindings(store_);
}

std::filesystem::path DefaultCacheFilePath() {
    return UserFile("XDG_CACHE_HOME", ".cache", "prefixes.sqlite");
}

}  // namespace numtrail::attribution

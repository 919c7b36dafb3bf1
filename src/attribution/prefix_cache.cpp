#include "attribution/prefix_cache.h"

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <limits>
#include <memory>

#include "attribution/data_file.h"

namespace numtrail::attribution {

namespace {

// Long enough for another process's write to finish; a store is one small row.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS answers ("
    " origin TEXT NOT NULL, prefix INTEGER NOT NULL,"
    " province TEXT NOT NULL, city TEXT NOT NULL, postcode TEXT NOT NULL,"
    " area_code TEXT NOT NULL, card_type TEXT NOT NULL,"
    " fetched INTEGER NOT NULL,"
    " PRIMARY KEY (origin, prefix))";
// The earlier layout's rows, under the unknown origin.
const std::string kMigrate =
    std::string(
        "INSERT OR IGNORE INTO answers"
        " (origin, prefix, province, city, postcode, area_code, card_type, fetched)"
        " SELECT '") +
    kUnknownOrigin +
    "', prefix, province, city, postcode, area_code, card_type, fetched FROM prefixes;"
    "DROP TABLE prefixes";
constexpr const char* kFind =
    "SELECT province, city, postcode, area_code, card_type, fetched, origin FROM answers"
    " WHERE origin = ?2 AND prefix = ?1";
// The latest answer first, so that the first row of a prefix is the one to keep.
constexpr const char* kAll =
    "SELECT prefix, province, city, postcode, area_code, card_type, fetched, origin"
    " FROM answers ORDER BY prefix, fetched DESC, origin";
const std::string kAllOfLegacy =
    std::string("SELECT prefix, province, city, postcode, area_code, card_type, fetched, '") +
    kUnknownOrigin + "' FROM prefixes ORDER BY prefix";
constexpr const char* kStore =
    "INSERT OR REPLACE INTO answers"
    " (prefix, province, city, postcode, area_code, card_type, fetched, origin)"
    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";

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

// The five fields, the time and the origin from `first` on, in the order of kFind and kAll.
void ReadRecord(sqlite3_stmt* statement, int first, CachedPrefix& row) {
    Record& r = row.record;
    r.province = ColumnText(statement, first);
    r.city = ColumnText(statement, first + 1);
    r.postcode = ColumnText(statement, first + 2);
    r.area_code = ColumnText(statement, first + 3);
    r.card_type = ColumnText(statement, first + 4);
    row.fetched = sqlite3_column_int64(statement, first + 5);
    row.origin = ColumnText(statement, first + 6);
}

bool HasTable(sqlite3* db, const char* name) {
    sqlite3_stmt* statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", -1,
                           &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, name, -1, SQLITE_STATIC);
        found = sqlite3_step(statement) == SQLITE_ROW;
    }
    sqlite3_finalize(statement);
    return found;
}

}  // namespace

PrefixCache::PrefixCache(const std::filesystem::path& file, std::int64_t now, WarningSink warn,
                         std::string origin)
    : warn_(std::move(warn)), name_(file.string()), origin_(std::move(origin)) {
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
    if (HasTable(db_, "prefixes")) {
        // Another process may be moving the same rows: the look is repeated in the writer's
        // transaction.
        code = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (code != SQLITE_OK) return failed(code);
        if (HasTable(db_, "prefixes"))
            code = sqlite3_exec(db_, kMigrate.c_str(), nullptr, nullptr, nullptr);
        if (code == SQLITE_OK) code = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (code != SQLITE_OK) {
            const Opened failure = failed(code);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return failure;
        }
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
    sqlite3_bind_text(find_, 2, origin_.data(), static_cast<int>(origin_.size()), SQLITE_STATIC);
    std::optional<CachedPrefix> found;
    const int code = sqlite3_step(find_);
    if (code == SQLITE_ROW) {
        found.emplace();
        ReadRecord(find_, 0, *found);
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
    sqlite3_bind_text(store_, 8, origin_.data(), static_cast<int>(origin_.size()), SQLITE_STATIC);
    if (sqlite3_step(store_) != SQLITE_DONE)
        Warn("cannot write to the cache: " + std::string(sqlite3_errmsg(db_)));
    sqlite3_reset(store_);
    sqlite3_clear_bindings(store_);
}

std::unique_ptr<PrefixCache> PrefixCache::OpenToRead(const std::filesystem::path& file) {
    std::unique_ptr<PrefixCache> cache(new PrefixCache());
    cache->name_ = file.string();
    const auto fail = [&](const std::string& why) {
        throw PrefixCacheError("cannot read the cache " + file.string() + ": " + why);
    };
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        fail(std::filesystem::exists(file, error) ? "it is not a file" : "no such file");
    sqlite3*& db = cache->db_;
    int code =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) fail(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Preparing reads the schema: a damaged file or another program's database shows here.
    // A cache of the earlier layout is read as it is: reading changes nothing.
    code = sqlite3_prepare_v2(db, kFind, -1, &cache->find_, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_stmt* legacy = nullptr;
        if (sqlite3_prepare_v2(db, kAllOfLegacy.c_str(), -1, &legacy, nullptr) != SQLITE_OK)
            fail(sqlite3_errmsg(db));
        sqlite3_finalize(legacy);
        cache->legacy_ = true;
    }
    return cache;
}

void PrefixCache::ForEach(const std::function<void(std::uint32_t prefix, const CachedPrefix&)>& row,
                          const std::optional<std::string>& origin) {
    std::lock_guard lock(mutex_);
    if (db_ == nullptr) return;
    sqlite3_stmt* prepared = nullptr;
    int code =
        sqlite3_prepare_v2(db_, legacy_ ? kAllOfLegacy.c_str() : kAll, -1, &prepared, nullptr);
    // Finalized also when `row` throws.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> all(prepared, sqlite3_finalize);
    CachedPrefix cached;
    std::int64_t last = -1;
    if (code == SQLITE_OK) {
        while ((code = sqlite3_step(all.get())) == SQLITE_ROW) {
            const std::int64_t prefix = sqlite3_column_int64(all.get(), 0);
            if (prefix < 0 || prefix > std::numeric_limits<std::uint32_t>::max()) continue;
            ReadRecord(all.get(), 1, cached);
            if (origin ? cached.origin != *origin : prefix == last) continue;
            last = prefix;
            row(static_cast<std::uint32_t>(prefix), cached);
        }
    }
    if (code != SQLITE_DONE)
        throw PrefixCacheError("cannot read the cache " + name_ + ": " + sqlite3_errmsg(db_));
}

std::filesystem::path DefaultCacheFilePath() {
    return UserFile("XDG_CACHE_HOME", ".cache", "prefixes.sqlite");
}

}  // namespace numtrail::attribution

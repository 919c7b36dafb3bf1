#include "results/result_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "tables/table.h"
#include "tables/text_escape.h"

namespace numtrail {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);
// Left in the folder once the user has been told where the rows are kept.
constexpr char kToldMarker[] = ".told";

// The day of a "YYYY-MM-DD" text; nothing for any other text.
std::optional<std::chrono::sys_days> DayOf(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {};
    const std::size_t starts[3] = {0, 5, 8}, sizes[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        const char* first = text.data() + starts[i];
        const char* last = first + sizes[i];
        for (const char* c = first; c != last; ++c)
            if (*c < '0' || *c > '9') return std::nullopt;
        std::from_chars(first, last, parts[i]);
    }
    const std::chrono::year_month_day day{std::chrono::year(parts[0]),
                                          std::chrono::month(static_cast<unsigned>(parts[1])),
                                          std::chrono::day(static_cast<unsigned>(parts[2]))};
    if (!day.ok()) return std::nullopt;
    return std::chrono::sys_days(day);
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// 时间, the result list's columns, 查询模式.
void AppendRecord(std::string& out, std::string_view time, std::span<const std::string_view> cells,
                  std::string_view mode) {
    std::array<std::string_view, 2 + tables::kResultHeaders.size()> fields;
    fields.front() = time;
    std::copy(cells.begin(), cells.end(), fields.begin() + 1);
    fields.back() = mode;
    tables::AppendCsvLine(out, fields);
}

}  // namespace

ResultJournal::ResultJournal(std::filesystem::path folder, const Clock& clock,
                             JournalOptions options)
    : folder_(std::move(folder)), clock_(clock), options_(std::move(options)) {
    const Fd dir(OpenFolder());
    if (dir.get() < 0) return;  // said by the first Append, which tries again
    RemoveOldDays(dir.get());
    const int told = ::openat(dir.get(), kToldMarker,
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    first_start_ = told >= 0;
    if (told >= 0) ::close(told);
    error_.clear();
}

// Creates the folder when it is missing and opens it, not through a link; -1 with error_ set
// when it cannot.
int ResultJournal::OpenFolder() {
    std::error_code error;
    if (folder_.has_parent_path())
        std::filesystem::create_directories(folder_.parent_path(), error);
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        Fail("cannot create " + folder_.string(), errno);
        return -1;
    }
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        Fail("cannot open the folder " + folder_.string() +
                 (errno == ELOOP || errno == ENOTDIR ? " (not a folder, or a link)" : ""),
             errno);
        return -1;
    }
    // A folder made by an earlier version, or under a permissive umask, is closed to others.
    struct stat info {};
    if (::fstat(dir, &info) == 0 && (info.st_mode & 07777) != 0700) ::fchmod(dir, 0700);
    return dir;
}

void ResultJournal::RemoveOldDays(int folder) {
    const std::optional<std::chrono::sys_days> today = DayOf(Utf16ToUtf8(clock_.DateText()));
    if (!today || options_.keep_days < 1) return;
    const auto oldest_kept = *today - std::chrono::days(options_.keep_days);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 14 || !name.ends_with(".csv")) continue;
        const std::optional<std::chrono::sys_days> day =
            DayOf(std::string_view(name).substr(0, 10));
        if (day && *day < oldest_kept) ::unlinkat(folder, name.c_str(), 0);
    }
}

ResultJournal::~ResultJournal() {
    {
        std::lock_guard lock(sync_mutex_);
        stopping_ = true;
    }
    sync_wanted_.notify_all();
    if (syncer_.joinable()) syncer_.join();  // the last sync asked for still runs
    Close();
}

bool ResultJournal::Append(const attribution::Record& row, QueryMode mode) {
    const std::u16string date = clock_.DateText();
    const std::string time = Utf16ToUtf8(date + u' ' + clock_.TimeText());
    std::string record;
    if (fd_ < 0 || date != date_) {
        Close();
        date_ = date;
        if (!Open(folder_ / (std::filesystem::path(date).string() + ".csv"), &record)) return false;
    }
    AppendRecord(record, time, tables::ResultCells(row),
                 mode == QueryMode::Single ? "单号" : "批量");
    // One write for the whole record: appends of other writers land before or after it.
    if (const int cause = WriteWhole(fd_, record.data(), record.size()); cause != 0)
        return Fail("cannot write " + file_.string(), cause);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_sync_ >= kSyncInterval) {
        Sync();
        last_sync_ = now;
    }
    std::lock_guard lock(sync_mutex_);
    if (sync_error_.empty()) return true;
    error_ = std::exchange(sync_error_, {});
    Close();
    return false;
}

void ResultJournal::Sync() {
    std::lock_guard lock(sync_mutex_);
    if (sync_fd_ >= 0) return;  // the one asked for before has not started: it covers this row
    sync_fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (sync_fd_ < 0) {
        sync_error_ = "cannot write " + file_.string() + ": " + std::strerror(errno);
        return;
    }
    sync_file_ = file_.string();
    if (!syncer_.joinable()) syncer_ = std::thread([this] { SyncLoop(); });
    sync_wanted_.notify_one();
}

void ResultJournal::SyncLoop() {
    std::unique_lock lock(sync_mutex_);
    for (;;) {
        sync_wanted_.wait(lock, [this] { return stopping_ || sync_fd_ >= 0; });
        if (sync_fd_ < 0) return;
        const int fd = std::exchange(sync_fd_, -1);
        const std::string file = sync_file_;
        lock.unlock();
        const int cause = (options_.sync ? options_.sync(fd) : ::fdatasync(fd)) == 0 ? 0 : errno;
        ::close(fd);
        lock.lock();
        if (cause != 0) sync_error_ = "cannot write " + file + ": " + std::strerror(cause);
    }
}

// Opens the day's file for appending. `lead` receives what must come before the next record:
// the byte order mark and the header for an empty file, a line end when the file ends in the
// middle of a record (a failed or killed earlier write).
bool ResultJournal::Open(const std::filesystem::path& file, std::string* lead) {
    file_ = file;
    const Fd dir(OpenFolder());
    if (dir.get() < 0) return false;
    fd_ = ::openat(dir.get(), file.filename().c_str(),
                   O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd_ < 0)
        return Fail("cannot open " + file.string() + (errno == ELOOP ? " (a link)" : ""), errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return Fail("cannot open " + file.string(), errno);
    if (!S_ISREG(info.st_mode)) return Fail("cannot open " + file.string(), EINVAL);
    // A file made by an earlier version keeps no wider mode than a new one.
    if ((info.st_mode & 07777) != 0600 && ::fchmod(fd_, 0600) != 0)
        return Fail("cannot open " + file.string(), errno);
    if (info.st_size == 0) {
        *lead = tables::kUtf8Bom;
        AppendRecord(*lead, "时间", tables::kResultHeaders, "查询模式");
        return true;
    }
    char last = '\n';
    if (::pread(fd_, &last, 1, info.st_size - 1) == 1 && last != '\n') *lead = "\r\n";
    return true;
}

bool ResultJournal::Fail(const std::string& what, int cause) {
    error_ = what + ": " + std::strerror(cause);
    Close();
    return false;
}

void ResultJournal::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace numtrail

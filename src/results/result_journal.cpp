#include "results/result_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "tables/table.h"
#include "tables/text_escape.h"

namespace numtrail {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);

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

ResultJournal::ResultJournal(std::filesystem::path folder, const Clock& clock)
    : folder_(std::move(folder)), clock_(clock) {}

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
        const int cause = ::fdatasync(fd) == 0 ? 0 : errno;
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
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return Fail("cannot create " + folder_.string(), error.value());
    fd_ = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return Fail("cannot open " + file.string(), errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return Fail("cannot open " + file.string(), errno);
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

#include "results/result_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "results/csv_format.h"

namespace numtrail {
namespace {

constexpr auto kSyncInterval = std::chrono::seconds(1);

QString FromUtf16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ResultJournal::ResultJournal(std::filesystem::path folder, const Clock& clock)
    : folder_(std::move(folder)), clock_(clock) {}

ResultJournal::~ResultJournal() { Close(); }

QStringList ResultJournal::Header() {
    return QStringList{QStringLiteral("时间")} + ResultHeaders() +
           QStringList{QStringLiteral("查询模式")};
}

bool ResultJournal::Append(const LookupResult& row, QueryMode mode) {
    const std::u16string date = clock_.DateText();
    const QString time = FromUtf16(date) + u' ' + FromUtf16(clock_.TimeText());
    QByteArray record;
    if (fd_ < 0 || date != date_) {
        Close();
        date_ = date;
        if (!Open(folder_ / (std::filesystem::path(date).string() + ".csv"), &record)) return false;
    }
    record += CsvLine(
        QStringList{time} + ResultCells(row) +
        QStringList{mode == QueryMode::Single ? QStringLiteral("单号") : QStringLiteral("批量")});
    // One write for the whole record: appends of other writers land before or after it.
    if (const int cause =
            WriteWhole(fd_, record.constData(), static_cast<std::size_t>(record.size()));
        cause != 0)
        return Fail("cannot write " + file_.string(), cause);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_sync_ >= kSyncInterval) {
        if (::fdatasync(fd_) != 0) return Fail("cannot write " + file_.string(), errno);
        last_sync_ = now;
    }
    return true;
}

// Opens the day's file for appending. `lead` receives what must come before the next record:
// the byte order mark and the header for an empty file, a line end when the file ends in the
// middle of a record (a failed or killed earlier write).
bool ResultJournal::Open(const std::filesystem::path& file, QByteArray* lead) {
    file_ = file;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return Fail("cannot create " + folder_.string(), error.value());
    fd_ = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return Fail("cannot open " + file.string(), errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return Fail("cannot open " + file.string(), errno);
    if (info.st_size == 0) {
        *lead = QByteArray(kUtf8Bom) + CsvLine(Header());
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

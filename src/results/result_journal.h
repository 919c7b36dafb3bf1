#pragma once

#include <QString>
#include <chrono>
#include <filesystem>
#include <string>

#include "results/lookup_result.h"

namespace numtrail {

class Clock;

enum class QueryMode { Single, Batch };

// Every result the window shows, kept on disk as it comes, so that a crash, a kill or a
// hasty answer on the exit box loses none: one CSV file a day, folder/YYYY-MM-DD.csv (the
// date from the clock at each row), UTF-8 with a byte order mark and a header record when
// the file is new, each row one record of time, number, province, city, area code, postcode,
// card type and mode (单号 or 批量).
//
// Each row reaches the system in a single append before Append() returns, so a killed or
// crashed program has written every row it showed; the file is synced at most once a second,
// which bounds what a power cut can take. Two programs may share a file: an append of one
// record does not interleave with another's.
class ResultJournal {
  public:
    ResultJournal(std::filesystem::path folder, const Clock& clock);
    ~ResultJournal();
    ResultJournal(const ResultJournal&) = delete;
    ResultJournal& operator=(const ResultJournal&) = delete;

    // False when the row could not be written; Error() then says why. The next row tries
    // again, on a fresh line.
    bool Append(const LookupResult& row, QueryMode mode);
    // The last failure: what could not be done to which file, and why.
    const std::string& Error() const { return error_; }

    static QStringList Header();

  private:
    bool Open(const std::filesystem::path& file, QByteArray* lead);
    bool Fail(const std::string& what, int cause);
    void Close();

    const std::filesystem::path folder_;
    const Clock& clock_;
    std::filesystem::path file_;  // the open day's file
    std::u16string date_;         // its date
    int fd_ = -1;
    std::chrono::steady_clock::time_point last_sync_{};
    std::string error_;
};

}  // namespace numtrail

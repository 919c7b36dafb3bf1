#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "attribution/record.h"

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
// crashed program has written every row it showed; the file is synced at most a second after
// a row, which bounds what a power cut can take. The sync runs on a thread of its own: on a
// busy disk it takes long enough to stall the window. Two programs may share a file: an
// append of one record does not interleave with another's.
class ResultJournal {
  public:
    ResultJournal(std::filesystem::path folder, const Clock& clock);
    ~ResultJournal();
    ResultJournal(const ResultJournal&) = delete;
    ResultJournal& operator=(const ResultJournal&) = delete;

    // False when the row could not be written; Error() then says why. The next row tries
    // again, on a fresh line.
    bool Append(const attribution::Record& row, QueryMode mode);
    // The last failure: what could not be done to which file, and why.
    const std::string& Error() const { return error_; }

  private:
    // Has the open file synced on the syncing thread; a sync that failed is reported by the
    // next Append.
    void Sync();
    void SyncLoop();
    bool Open(const std::filesystem::path& file, std::string* lead);
    bool Fail(const std::string& what, int cause);
    void Close();

    const std::filesystem::path folder_;
    const Clock& clock_;
    std::filesystem::path file_;  // the open day's file
    std::u16string date_;         // its date
    int fd_ = -1;
    std::chrono::steady_clock::time_point last_sync_{};
    std::string error_;

    std::mutex sync_mutex_;
    std::condition_variable sync_wanted_;
    int sync_fd_ = -1;        // a duplicate of the file to sync next; -1: none
    std::string sync_file_;   // its name, for the message
    std::string sync_error_;  // a failed sync, until Append reports it
    bool stopping_ = false;
    std::thread syncer_;  // started with the first sync
};

}  // namespace numtrail

#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "attribution/record.h"

namespace numtrail {

class Clock;

enum class QueryMode { Single, Batch };

struct JournalOptions {
    // Day files older than this many days are removed when the journal starts.
    int keep_days = 30;
    // Makes a file's written rows durable: fdatasync(2), unless a test counts the calls.
    std::function<int(int fd)> sync;
};

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
//
// The rows are personal data: the folder is kept 0700 and the files 0600 whatever the umask,
// and neither is opened through a symbolic link, so that a link planted in their place cannot
// send the rows elsewhere.
class ResultJournal {
  public:
    // Removes the day files older than options.keep_days (counted back from the clock's
    // date); what cannot be removed is left for the next start.
    ResultJournal(std::filesystem::path folder, const Clock& clock, JournalOptions options = {});
    ~ResultJournal();
    ResultJournal(const ResultJournal&) = delete;
    ResultJournal& operator=(const ResultJournal&) = delete;

    // False when the row could not be written; Error() then says why. The next row tries
    // again, on a fresh line.
    bool Append(const attribution::Record& row, QueryMode mode);
    // The last failure: what could not be done to which file, and why.
    const std::string& Error() const { return error_; }
    // True when this start found no sign that an earlier one had told the user where the
    // rows are kept, and left that sign (a marker file in the folder) for the next.
    bool FirstStart() const { return first_start_; }

  private:
    // Has the open file synced on the syncing thread; a sync that failed is reported by the
    // next Append.
    void Sync();
    void SyncLoop();
    bool Open(const std::filesystem::path& file, std::string* lead);
    int OpenFolder();
    void RemoveOldDays(int folder);
    bool Fail(const std::string& what, int cause);
    void Close();

    const std::filesystem::path folder_;
    const Clock& clock_;
    const JournalOptions options_;
    bool first_start_ = false;
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

#include "results/result_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include "support/file_size_limit.h"
#include "support/fixed_clock.h"
#include "support/result_row.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;

const std::string kHeader =
    "\xEF\xBB\xBF时间,手机号码,所属省份,所属城市,区号,邮编,号码类型,查询模式\r\n";

const attribution::Record kBeijing =
    test::ResultRow("13800138000", "北京", "北京", "010", "100000", "中国移动");
const attribution::Record kOdd =
    test::ResultRow("13912345678", "江苏", "常州,武进", "0519", "", "\"虚拟\"");
const std::string kBeijingRecord =
    "2026-12-08 09:30:00,13800138000,北京,北京,010,100000,中国移动,单号\r\n";
const std::string kOddRecord =
    "2026-12-08 09:30:00,13912345678,江苏,\"常州,武进\",0519,,\"\"\"虚拟\"\"\",批量\r\n";

class ResultJournalTest : public test::ScratchDirTest {
  protected:
    std::filesystem::path Day(const std::string& date) const {
        return Path("journal") / (date + ".csv");
    }
    test::FixedClock clock;
};

// Every row Append() took is in the file even when the process dies right after, without
// closing anything.
TEST_F(ResultJournalTest, KilledProgramLosesNoRowItWrote) {
    EXPECT_EXIT(
        {
            ResultJournal journal(Path("journal"), clock);
            journal.Append(kBeijing, QueryMode::Single);
            journal.Append(kOdd, QueryMode::Batch);
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(ReadFile(Day("2026-12-08")), kHeader + kBeijingRecord + kOddRecord);
}

TEST_F(ResultJournalTest, OneFileADayWithOneHeaderAndWholeLines) {
    {
        ResultJournal journal(Path("journal"), clock);
        ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    }
    // A record cut off by an earlier crash or a full disk: the next one starts on a new line.
    std::filesystem::path today = Day("2026-12-08");
    test::WriteFile(today, ReadFile(today) + "2026-12-08 09:29:59,1380");
    ResultJournal journal(Path("journal"), clock);
    ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    clock.date = u"2026-12-09";
    ASSERT_TRUE(journal.Append(kOdd, QueryMode::Batch));

    EXPECT_EQ(ReadFile(today),
              kHeader + kBeijingRecord + "2026-12-08 09:29:59,1380\r\n" + kBeijingRecord);
    std::string next_day = kOddRecord;
    next_day.replace(0, 10, "2026-12-09");
    EXPECT_EQ(ReadFile(Day("2026-12-09")), kHeader + next_day);
}

TEST_F(ResultJournalTest, FailuresAreReportedAndTheNextRowTriesAgain) {
    ResultJournal journal(Path("journal"), clock);
    {
        const test::FileSizeLimit full_disk(4);
        EXPECT_FALSE(journal.Append(kBeijing, QueryMode::Single));
    }
    EXPECT_NE(journal.Error().find(Day("2026-12-08").string()), std::string::npos);
    EXPECT_NE(journal.Error().find(std::strerror(EFBIG)), std::string::npos);

    std::filesystem::remove(Day("2026-12-08"));
    EXPECT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    EXPECT_EQ(ReadFile(Day("2026-12-08")), kHeader + kBeijingRecord);

    test::WriteFile(Path("blocked"), "a file where the folder should be");
    ResultJournal blocked(Path("blocked") / "journal", clock);
    EXPECT_FALSE(blocked.Append(kBeijing, QueryMode::Single));
    EXPECT_FALSE(blocked.Error().empty());
}

// Whatever the umask, others can neither list the folder nor read a day, also when an earlier
// version left them open.
TEST_F(ResultJournalTest, FolderAndFilesAreTheUsersAlone) {
    const mode_t umask_before = ::umask(022);
    {
        ResultJournal journal(Path("journal"), clock);
        ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    }
    std::filesystem::permissions(Path("journal"), std::filesystem::perms(0755));
    test::WriteFile(Day("2026-12-09"), kHeader);
    std::filesystem::permissions(Day("2026-12-09"), std::filesystem::perms(0644));
    clock.date = u"2026-12-09";
    {
        ResultJournal journal(Path("journal"), clock);
        ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    }
    ::umask(umask_before);
    const auto mode = [](const std::filesystem::path& path) {
        return static_cast<int>(std::filesystem::status(path).permissions());
    };
    EXPECT_EQ(mode(Path("journal")), 0700);
    EXPECT_EQ(mode(Day("2026-12-08")), 0600);
    EXPECT_EQ(mode(Day("2026-12-09")), 0600);
}

// A link planted as the day's file or as the folder is refused, and nothing is written where
// it leads.
TEST_F(ResultJournalTest, LinksInPlaceOfTheFileOrFolderAreRefused) {
    test::WriteFile(Path("victim"), "theirs");
    std::filesystem::create_directories(Path("elsewhere"));
    std::filesystem::create_directories(Path("journal"));
    std::filesystem::create_symlink(Path("victim"), Day("2026-12-08"));
    std::filesystem::create_symlink(Path("elsewhere"), Path("linked"));
    ResultJournal journal(Path("journal"), clock);
    EXPECT_FALSE(journal.Append(kBeijing, QueryMode::Single));
    EXPECT_NE(journal.Error().find(Day("2026-12-08").string()), std::string::npos);
    ResultJournal linked(Path("linked"), clock);
    EXPECT_FALSE(linked.Append(kBeijing, QueryMode::Single));
    EXPECT_NE(linked.Error().find(Path("linked").string()), std::string::npos);
    EXPECT_EQ(ReadFile(Path("victim")), "theirs");
    EXPECT_TRUE(std::filesystem::is_empty(Path("elsewhere")));
}

// Day files older than the days kept go at start, whatever the month's length; other files
// stay.
TEST_F(ResultJournalTest, DaysBeyondTheOnesKeptAreRemovedAtStart) {
    std::filesystem::create_directories(Path("journal"));
    const char* kept[] = {"2026-03-01", "2026-02-28", "2026-01-30", "notes", "2026-13-01"};
    const char* removed[] = {"2026-01-29", "2025-12-31"};
    for (const char* day : kept) test::WriteFile(Day(day), "x");
    for (const char* day : removed) test::WriteFile(Day(day), "x");
    clock.date = u"2026-03-01";
    ResultJournal journal(Path("journal"), clock);
    for (const char* day : kept) EXPECT_TRUE(std::filesystem::exists(Day(day))) << day;
    for (const char* day : removed) EXPECT_FALSE(std::filesystem::exists(Day(day))) << day;

    JournalOptions keep_one_day;
    keep_one_day.keep_days = 1;
    ResultJournal keep_one(Path("journal"), clock, keep_one_day);
    EXPECT_TRUE(std::filesystem::exists(Day("2026-02-28")));
    EXPECT_FALSE(std::filesystem::exists(Day("2026-01-30")));
}

// Rows are synced, and a failed sync is reported by the next row.
TEST_F(ResultJournalTest, RowsAreSyncedAndAFailedSyncIsReported) {
    std::atomic<int> syncs{0};
    std::atomic<bool> failing{false};
    JournalOptions options;
    options.sync = [&](int) {
        ++syncs;
        if (!failing) return 0;
        errno = EIO;
        return -1;
    };
    {
        ResultJournal journal(Path("journal"), clock, options);
        ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    }
    EXPECT_EQ(syncs, 1);
    failing = true;
    ResultJournal journal(Path("journal"), clock, options);
    ASSERT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    bool reported = false;
    for (int i = 0; i < 500 && !reported; ++i) {
        std::this_thread::sleep_for(10ms);
        reported = !journal.Append(kBeijing, QueryMode::Single);
    }
    EXPECT_TRUE(reported);
    EXPECT_NE(journal.Error().find(std::strerror(EIO)), std::string::npos);
}

TEST_F(ResultJournalTest, OnlyTheFirstStartIsToldWhereRowsAreKept) {
    EXPECT_TRUE(ResultJournal(Path("journal"), clock).FirstStart());
    EXPECT_FALSE(ResultJournal(Path("journal"), clock).FirstStart());
}

// Rows from an online answer or a user's list cannot plant a formula in the journal.
TEST_F(ResultJournalTest, FormulaCellsAreWrittenAsText) {
    {
        ResultJournal journal(Path("journal"), clock);
        ASSERT_TRUE(journal.Append(
            test::ResultRow("13800138000", "=1+1", "@A1", "-2", "+3", "=HYPERLINK(\"x\")"),
            QueryMode::Single));
    }
    EXPECT_EQ(ReadFile(Day("2026-12-08")),
              kHeader +
                  "2026-12-08 09:30:00,13800138000,'=1+1,'@A1,'-2,'+3,\"'=HYPERLINK(\"\"x\"\")\","
                  "单号\r\n");
}

}  // namespace
}  // namespace numtrail

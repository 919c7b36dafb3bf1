#include "results/result_journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "support/fixed_clock.h"
#include "support/result_row.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

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
    std::filesystem::create_directories(Path("journal"));
    std::filesystem::create_symlink("/dev/full", Day("2026-12-08"));  // a full disk
    ResultJournal journal(Path("journal"), clock);
    EXPECT_FALSE(journal.Append(kBeijing, QueryMode::Single));
    EXPECT_NE(journal.Error().find(Day("2026-12-08").string()), std::string::npos);
    EXPECT_NE(journal.Error().find(std::strerror(ENOSPC)), std::string::npos);

    std::filesystem::remove(Day("2026-12-08"));
    EXPECT_TRUE(journal.Append(kBeijing, QueryMode::Single));
    EXPECT_EQ(ReadFile(Day("2026-12-08")), kHeader + kBeijingRecord);

    test::WriteFile(Path("blocked"), "a file where the folder should be");
    ResultJournal blocked(Path("blocked") / "journal", clock);
    EXPECT_FALSE(blocked.Append(kBeijing, QueryMode::Single));
    EXPECT_FALSE(blocked.Error().empty());
}

}  // namespace
}  // namespace numtrail

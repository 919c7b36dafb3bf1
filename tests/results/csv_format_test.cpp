#include "results/csv_format.h"

#include <gtest/gtest.h>

namespace numtrail {
namespace {

TEST(CsvBytes, QuotesOnlyWhatNeedsItAndEndsEveryRecordInCrLf) {
    const QList<QStringList> rows = {
        {"13800138000", "北京", "北京", "010", "100000", "中国移动"},
        {"13912345678", "江苏", "", "0519", "", ""},  // empty fields stay empty
        {"1", "a,b", "say \"hi\"", "two\r\nlines", "lone\nLF", " blank "},
        {"2", "\"", ",", "", "", "\r"}};
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "手机号码,所属省份\r\n"
        "13800138000,北京,北京,010,100000,中国移动\r\n"
        "13912345678,江苏,,0519,,\r\n"
        "1,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"lone\nLF\", blank \r\n"
        "2,\"\"\"\",\",\",,,\"\r\"\r\n";
    EXPECT_EQ(CsvBytes({"手机号码", "所属省份"}, rows), expected);
}

}  // namespace
}  // namespace numtrail

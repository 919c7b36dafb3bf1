#include "attribution/data_file_writer.h"

#include <gtest/gtest.h>

#include <span>

#include "attribution/data_file_builder.h"

namespace numtrail::attribution {
namespace {

using testing::DataFileBuilder;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

DataFile Parse(const std::vector<std::uint8_t>& bytes) {
    DataFileResult result = ParseDataFile(bytes);
    EXPECT_TRUE(result.ok()) << result.fault;
    return std::move(result.file);
}

// The layout is the reader's: written by hand here, byte for byte, so that the writer is held
// to the format and not to itself. Entries come sorted, one per prefix (the last wins), and a
// record text shared by two card types is stored once, in the order of first use.
TEST(DataFileWriter, WritesTheCanonicalLayout) {
    DataFile file;
    file.version = "24";
    file.records = {{"北京", "北京", "100000", "010", "中国联通"},
                    {"a", "b", "c", "d", "中国移动"},
                    {"a", "b", "c", "d", "中国广电虚拟运营商"},
                    {"x", "y", "z", "w", ""}};
    file.entries = {{1300002, 0}, {1300001, 1}, {1300002, 2}, {1999999, 3}, {1300000, 99}};
    DataFileBuilder expected;
    expected.version = std::string("24\0\0", 4);
    expected.records = {"a|b|c|d", "x|y|z|w"};
    expected.entries = {{1300001, 0, 1}, {1300002, 0, 8}, {1999999, 1, 0}};
    const std::vector<std::uint8_t> want = expected.Build();
    EXPECT_EQ(Bytes(DataFileBytes(file)), want);
}

// What a file reads back as is written back to the same bytes, whatever order and sharing
// the original had.
TEST(DataFileWriter, ReadingAndWritingAgainGivesTheSameBytes) {
    DataFileBuilder b;
    b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010", "江苏|常州|213000|0519"};
    b.entries = {{1921000, 0, 7}, {1390519, 2, 1}, {1390520, 0, 2},
                 {1391000, 1, 3}, {1701000, 1, 4}, {1390519, 1, 1}};
    const std::string once = DataFileBytes(Parse(b.Build()));
    const std::string twice = DataFileBytes(Parse(Bytes(once)));
    EXPECT_EQ(once, twice);
    const DataFile reread = Parse(Bytes(once));
    ASSERT_EQ(reread.entries.size(), 5u);
    EXPECT_EQ(reread.entries[0].prefix, 1390519u);
    EXPECT_EQ(reread.records[reread.entries[0].record].province, "北京");
    EXPECT_EQ(reread.version, "2401");
}

TEST(DataFileWriter, RefusesRecordsTheReaderWouldMisread) {
    const std::string long_name(kMaxFieldBytes + 1, 'a');
    const Record cases[] = {
        {"江|苏", "常州", "", "", ""},
        {"江苏", std::string("常\0州", 4), "", "", ""},
        {"江苏", "常州", long_name, "", ""},
    };
    for (const Record& record : cases) {
        DataFile file;
        file.records = {record};
        file.entries = {{1380000, 0}};
        EXPECT_THROW(DataFileBytes(file), DataFileError) << record.province << record.postcode;
    }
    DataFile fits;
    fits.records = {{"江苏", "常州", std::string(kMaxFieldBytes, 'a'), "", ""}};
    fits.entries = {{1380000, 0}};
    EXPECT_NO_THROW(DataFileBytes(fits));
    fits.version = "12345";
    EXPECT_THROW(DataFileBytes(fits), DataFileError);
}

TEST(DataFileWriter, CardTypeCodeIsTheInverseOfCardTypeText) {
    for (std::uint8_t code = 0; code <= 8; ++code)
        EXPECT_EQ(CardTypeCode(CardTypeText(code)), code);
    EXPECT_EQ(CardTypeCode("移动"), 0);
}

}  // namespace
}  // namespace numtrail::attribution

#include "attribution/data_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "attribution/data_file_builder.h"

namespace numtrail::attribution {
namespace {

using testing::DataFileBuilder;

DataFileBuilder Sample() {
    DataFileBuilder b;
    b.records = {"江苏|常州|213000|0519", "北京|北京|100000|010", "广西|南宁|530000|0771"};
    b.entries = {{1390519, 0, 1}, {1390520, 0, 2},  {1391000, 1, 3}, {1701000, 1, 4},
                 {1710771, 2, 5}, {1703000, 2, 6},  {1920000, 1, 7}, {1921000, 0, 8},
                 {1999999, 2, 0}, {1300000, 2, 200}};
    return b;
}

std::string ParseFault(const std::vector<std::uint8_t>& bytes) {
    return ParseDataFile(bytes).fault;
}

TEST(DataFile, ReadsAHandWrittenFile) {
    // "V001", index at 8 + 8 = 16; one record "a|b|c|d", one entry 1380013 -> 8, card 1.
    const std::vector<std::uint8_t> bytes = {'V',  '0',  '0', '1', 16,  0,   0, 0,    'a',
                                             '|',  'b',  '|', 'c', '|', 'd', 0, 0xAD, 0x0E,
                                             0x15, 0x00, 8,   0,   0,   0,   1};
    const DataFileResult result = ParseDataFile(bytes);
    ASSERT_TRUE(result.ok()) << result.fault;
    EXPECT_EQ(result.file.version, "V001");
    ASSERT_EQ(result.file.entries.size(), 1u);
    EXPECT_EQ(result.file.entries[0].prefix, 1380013u);
    EXPECT_EQ(result.file.records[result.file.entries[0].record],
              (Record{"a", "b", "c", "d", "中国移动"}));
}

TEST(DataFile, EveryCardTypeAndSharedRecords) {
    const DataFileResult result = ParseDataFile(Sample().Build());
    ASSERT_TRUE(result.ok()) << result.fault;
    const DataFile& f = result.file;
    ASSERT_EQ(f.entries.size(), 10u);
    const auto record = [&](std::size_t i) { return f.records[f.entries[i].record]; };
    EXPECT_EQ(record(0), (Record{"江苏", "常州", "213000", "0519", "中国移动"}));
    EXPECT_EQ(record(1), (Record{"江苏", "常州", "213000", "0519", "中国联通"}));
    EXPECT_EQ(record(2).card_type, "中国电信");
    EXPECT_EQ(record(3).card_type, "中国电信虚拟运营商");
    EXPECT_EQ(record(4), (Record{"广西", "南宁", "530000", "0771", "中国联通虚拟运营商"}));
    EXPECT_EQ(record(5).card_type, "中国移动虚拟运营商");
    EXPECT_EQ(record(6).card_type, "中国广电");
    EXPECT_EQ(record(7).card_type, "中国广电虚拟运营商");
    // Unknown card bytes are not a fault, just no card type.
    EXPECT_EQ(record(8), (Record{"广西", "南宁", "530000", "0771", ""}));
    EXPECT_EQ(record(9).card_type, "");
}

TEST(DataFile, ExtraFieldsAndEmptyFieldsAreAccepted) {
    DataFileBuilder b;
    b.records = {"||||", "p|c|z|a|extra"};
    b.entries = {{1300001, 0, 1}, {1300002, 1, 1}};
    const DataFileResult result = ParseDataFile(b.Build());
    ASSERT_TRUE(result.ok()) << result.fault;
    EXPECT_EQ(result.file.records[result.file.entries[0].record],
              (Record{"", "", "", "", "中国移动"}));
    EXPECT_EQ(result.file.records[result.file.entries[1].record],
              (Record{"p", "c", "z", "a", "中国移动"}));
}

TEST(DataFile, EmptyIndexIsAnEmptyTable) {
    DataFileBuilder b;
    const DataFileResult result = ParseDataFile(b.Build());
    ASSERT_TRUE(result.ok()) << result.fault;
    EXPECT_TRUE(result.file.entries.empty());
}

TEST(DataFile, DamagedFilesAreRefusedWithTheirFault) {
    const std::vector<std::uint8_t> good = Sample().Build();

    EXPECT_NE(ParseFault({'V', '0', '0', '1', 8, 0}).find("shorter than its 8-byte header"),
              std::string::npos);

    std::vector<std::uint8_t> past_end = good;
    past_end[4] = 0xFF, past_end[5] = 0xFF, past_end[6] = 0, past_end[7] = 0;
    EXPECT_NE(ParseFault(past_end).find("past the end of the file"), std::string::npos);

    std::vector<std::uint8_t> into_header = good;
    into_header[4] = 3, into_header[5] = 0, into_header[6] = 0, into_header[7] = 0;
    EXPECT_NE(ParseFault(into_header).find("points into the header"), std::string::npos);

    std::vector<std::uint8_t> ragged = good;
    ragged.pop_back();
    EXPECT_NE(ParseFault(ragged).find("not a whole number of 9-byte entries"), std::string::npos);

    DataFileBuilder far = Sample();
    std::vector<std::uint8_t> record_past = far.Build();
    const std::size_t index = far.RecordOffset(far.records.size());
    record_past[index + 4] = 0xF0, record_past[index + 5] = 0xFF;  // first entry's record offset
    EXPECT_NE(ParseFault(record_past).find("index entry 0 (prefix 1390519): the record offset"),
              std::string::npos);

    DataFileBuilder no_nul;
    no_nul.records = {"a|b|c|d"};
    no_nul.entries = {{1300000, 0, 1}};
    std::vector<std::uint8_t> missing_nul = no_nul.Build();
    missing_nul[8 + 7] = 'x';  // the NUL ending the only record
    EXPECT_NE(ParseFault(missing_nul).find("record at offset 8 has no terminating NUL"),
              std::string::npos);

    DataFileBuilder short_record;
    short_record.records = {"ok|ok|ok|ok", "a|b|c"};
    short_record.entries = {{1300000, 0, 1}, {1300001, 1, 1}};
    EXPECT_NE(
        ParseFault(short_record.Build()).find("record at offset 20 has fewer than four fields"),
        std::string::npos);

    DataFileBuilder bad_prefix;
    bad_prefix.records = {"a|b|c|d"};
    bad_prefix.entries = {{1299999, 0, 1}};
    EXPECT_NE(ParseFault(bad_prefix.Build()).find("not between 1300000 and 1999999"),
              std::string::npos);
}

TEST(DataFile, RecordsThatAreNotUtf8AreRefusedAtTheFirst) {
    DataFileBuilder b;
    // "江苏|常州|213000|0519" in GBK at offset 33, and a cut UTF-8 character at offset 55.
    b.records = {"北京|北京|100000|010", "\xBD\xAD\xCB\xD5|\xB3\xA3\xD6\xDD|213000|0519",
                 "\xE6\xB1|x|y|z"};
    b.entries = {{1300000, 0, 1}, {1300001, 2, 1}, {1300002, 1, 1}};
    EXPECT_EQ(ParseFault(b.Build()),
              "the record at offset 33 is not valid UTF-8 (records must be UTF-8 text; convert "
              "the file)");
    b.entries = {{1300000, 0, 1}, {1300001, 2, 1}};
    EXPECT_NE(ParseFault(b.Build()).find("offset 55 is not valid UTF-8"), std::string::npos);
    b.entries = {{1300000, 0, 1}};
    EXPECT_EQ(ParseFault(b.Build()), "");
}

// Every field, and what follows the fourth, may hold 256 bytes and no more.
TEST(DataFile, FieldsAreCappedAt256Bytes) {
    for (std::size_t field = 0; field < 5; ++field) {
        for (const std::size_t length : {kMaxFieldBytes, kMaxFieldBytes + 1}) {
            std::string parts[5] = {"p", "c", "z", "a", "extra"};
            parts[field] = std::string(length, 'x');
            DataFileBuilder b;
            b.records = {"北京|北京|100000|010", parts[0] + '|' + parts[1] + '|' + parts[2] + '|' +
                                                     parts[3] + '|' + parts[4]};
            b.entries = {{1300000, 0, 1}, {1300001, 1, 1}};
            const std::string fault = ParseFault(b.Build());
            const char* expected = length == kMaxFieldBytes ? ""
                                   : field < 4              ? "has a field longer than 256 bytes"
                                                            : "more than 256 bytes past its fourth";
            EXPECT_NE(fault.find(expected), std::string::npos) << field << ' ' << length << fault;
            EXPECT_EQ(fault.empty(), length == kMaxFieldBytes) << field << ' ' << length;
            if (!fault.empty()) {
                const std::string offset = "offset " + std::to_string(b.RecordOffset(1)) + " ";
                EXPECT_NE(fault.find(offset), std::string::npos) << fault;
            }
        }
    }
}

// A file of 1 MiB whose 100 index entries point into one long record, each a byte further
// into its first field, so that each would parse a record of its own with the long fourth
// field (200 MB in all): refused at the first entry.
TEST(DataFile, ALongRecordIsRefusedWithItsOffset) {
    DataFileBuilder b;
    b.records = {std::string(100, 'p') + "|c|z|" + std::string((1 << 20) - 8 - 105 - 1 - 900, 'a')};
    for (std::uint32_t i = 0; i < 100; ++i) b.entries.push_back({1300000 + i, 0, 1});
    std::vector<std::uint8_t> bytes = b.Build();
    ASSERT_EQ(bytes.size(), std::size_t{1} << 20);
    for (std::size_t i = 0; i < 100; ++i)  // entry i's record offset: 8 + i
        bytes[b.RecordOffset(1) + 9 * i + 4] = static_cast<std::uint8_t>(8 + i);
    EXPECT_EQ(ParseFault(bytes), "the record at offset 8 has a field longer than 256 bytes");
}

TEST(DataFile, TruncatedFilesAreRefusedUnlessCutBetweenEntries) {
    const DataFileBuilder sample = Sample();
    const std::vector<std::uint8_t> good = sample.Build();
    const std::size_t index = sample.RecordOffset(sample.records.size());
    for (std::size_t n = 0; n < good.size(); ++n) {
        const std::vector<std::uint8_t> cut(good.begin(),
                                            good.begin() + static_cast<std::ptrdiff_t>(n));
        const DataFileResult result = ParseDataFile(cut);
        const bool whole_entries = n >= index && (n - index) % 9 == 0;
        EXPECT_EQ(result.ok(), whole_entries) << n;
        if (whole_entries) {
            EXPECT_EQ(result.file.entries.size(), (n - index) / 9);
        }
    }
}

TEST(DataFile, LoadNamesTheFileInItsMessage) {
    testing::TempDir dir;
    const auto path = dir.path() / "prefixes.dat";
    std::vector<std::uint8_t> bytes = Sample().Build();
    bytes.pop_back();
    testing::WriteFile(path, bytes);
    try {
        LoadDataFile(path);
        FAIL() << "a damaged file was accepted";
    } catch (const DataFileError& error) {
        EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("9-byte entries"), std::string::npos);
    }
    EXPECT_THROW(LoadDataFile(dir.path() / "missing.dat"), DataFileError);
    EXPECT_THROW(LoadDataFile(dir.path()), DataFileError);

    testing::WriteFile(path, Sample().Build());
    EXPECT_EQ(LoadDataFile(path).entries.size(), 10u);
}

// Sets an environment variable for one test and restores it after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DataFile, DefaultLocationFollowsXdgDataHome) {
    testing::TempDir dir;
    const ScopedEnv data_home("XDG_DATA_HOME", dir.path().string());
    const auto expected = dir.path() / "Numtrail" / "phone.dat";
    EXPECT_EQ(DefaultDataFilePath(), expected);
    EXPECT_FALSE(DefaultDataFile());
    std::filesystem::create_directories(expected.parent_path());
    testing::WriteFile(expected, Sample().Build());
    EXPECT_EQ(DefaultDataFile(), expected);

    // A relative XDG_DATA_HOME is ignored, as the base-directory convention says.
    const ScopedEnv relative("XDG_DATA_HOME", "relative/share");
    const ScopedEnv home("HOME", dir.path().string());
    EXPECT_EQ(DefaultDataFilePath(), dir.path() / ".local" / "share" / "Numtrail" / "phone.dat");
}

}  // namespace
}  // namespace numtrail::attribution

#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/file_size_limit.h"
#include "support/scratch_dir.h"

namespace numtrail {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

std::size_t EntriesIn(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

TEST(AtomicFileWriter, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const test::ScratchDir dir;
    const fs::path path = test::WriteFile(dir / "out.txt", "old content");
    const AtomicWriteResult result = [&] {
        const test::FileSizeLimit limit(4096);
        return WriteFileAtomically(path, std::string(8192, 'x'));
    }();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("out.txt"), std::string::npos) << result.error;
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(AtomicFileWriter, ReplacesTheWholeFileOnlyOnCommitKeepingItsPermissions) {
    const test::ScratchDir dir;
    const fs::path path = test::WriteFile(dir / "out.txt", "an older, longer content");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        AtomicFileWriter dropped(path);
        EXPECT_TRUE(dropped.Write("never committed"));
    }
    EXPECT_EQ(ReadFile(path), "an older, longer content");

    AtomicFileWriter out(path);
    out.Write("new ");
    out.Write("content");
    ASSERT_TRUE(out.Commit()) << out.Error();
    EXPECT_EQ(ReadFile(path), "new content");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);

    EXPECT_FALSE(WriteFileAtomically(dir / "no-such-folder" / "x", "x").ok);
    EXPECT_FALSE(WriteFileAtomically(dir.Path(), "x").ok);
}

}  // namespace
}  // namespace numtrail

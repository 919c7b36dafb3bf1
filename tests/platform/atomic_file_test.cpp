#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

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

fs::perms ModeOf(const fs::path& path) { return fs::symlink_status(path).permissions(); }

// Another user's file, and links such a user could plant where others write: in a shared
// folder with the sticky bit (as /tmp), a link named as the output would otherwise have the
// rename land on whatever it points to. The tests run as root, so "another user" is a uid
// given with chown.
TEST(AtomicFileWriter, RefusesTargetsAnotherUserCouldHavePlanted) {
    constexpr uid_t kOther = 4242;
    const test::ScratchDir dir;
    const fs::path shared = dir / "shared", own = dir / "own", victim = dir / "victim";
    for (const fs::path& folder : {shared, own, victim}) fs::create_directory(folder);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const fs::path theirs = test::WriteFile(victim / "theirs.csv", "their rows");
    ASSERT_EQ(::chown(theirs.c_str(), kOther, kOther), 0);
    const auto link = [](const fs::path& from, const fs::path& to, uid_t owner) {
        fs::create_symlink(to, from);
        EXPECT_EQ(::lchown(from.c_str(), owner, owner), 0);
        return from;
    };
    test::WriteFile(shared / "mine.csv", "my old rows");
    test::WriteFile(own / "real.csv", "my old rows");

    struct Case {
        fs::path target;
        const char* why;   // in the refusal, or nullptr when the write goes ahead
        fs::path written;  // where the rows land when it goes ahead
    };
    const Case cases[] = {
        {link(shared / "report.csv", theirs, kOther), "sticky", {}},
        {link(shared / "planted.csv", own / "new.csv", kOther), "sticky", {}},
        {link(own / "into-shared.csv", shared / "mine.csv", ::geteuid()), "sticky", {}},
        {theirs, "another user (uid 4242)", {}},
        {link(own / "to-theirs.csv", theirs, ::geteuid()), "another user", {}},
        {link(own / "link.csv", "real.csv", ::geteuid()), nullptr, own / "real.csv"},
        {shared / "mine.csv", nullptr, shared / "mine.csv"},
    };
    for (const Case& c : cases) {
        const std::size_t entries[] = {EntriesIn(shared), EntriesIn(own), EntriesIn(victim)};
        const AtomicWriteResult result = WriteFileAtomically(c.target, "new rows");
        EXPECT_EQ(result.ok, c.why == nullptr) << c.target << ": " << result.error;
        if (c.why != nullptr) {
            EXPECT_NE(result.error.find(c.target.filename().string()), std::string::npos)
                << result.error;
            EXPECT_NE(result.error.find(c.why), std::string::npos) << result.error;
            EXPECT_FALSE(fs::exists(own / "new.csv")) << c.target;
        } else {
            EXPECT_EQ(ReadFile(c.written), "new rows") << c.target;
        }
        EXPECT_EQ(ReadFile(theirs), "their rows") << c.target;
        const std::size_t after[] = {EntriesIn(shared), EntriesIn(own), EntriesIn(victim)};
        EXPECT_TRUE(std::equal(std::begin(after), std::end(after), std::begin(entries)))
            << c.target;
    }
    EXPECT_TRUE(fs::is_symlink(own / "link.csv"));
}

// Nobody can read the rows while they are written; the finished file has the mode a new
// file gets from the umask.
TEST(AtomicFileWriter, TheTemporaryFileIsPrivateUntilTheFileIsComplete) {
    for (const auto& [mask, mode] : {std::pair{022, 0644}, {027, 0640}, {002, 0664}}) {
        const test::ScratchDir dir;
        const mode_t saved = ::umask(static_cast<mode_t>(mask));
        AtomicFileWriter out(dir / "new.csv");
        out.Write("rows");
        ::umask(saved);
        ASSERT_EQ(EntriesIn(dir.Path()), 1u);
        EXPECT_EQ(ModeOf(fs::directory_iterator(dir.Path())->path()),
                  fs::perms::owner_read | fs::perms::owner_write)
            << mask;
        ASSERT_TRUE(out.Commit()) << out.Error();
        EXPECT_EQ(ModeOf(dir / "new.csv"), static_cast<fs::perms>(mode)) << mask;
    }
}

// A file the program holds open has no folder to put a temporary file in.
TEST(AtomicFileWriter, AFileTheProgramHoldsOpenIsWrittenInPlace) {
    const int memory = ::memfd_create("atomic-file-test", MFD_CLOEXEC);
    ASSERT_GE(memory, 0);
    const std::string path = "/proc/self/fd/" + std::to_string(memory);
    ASSERT_TRUE(WriteFileAtomically(path, "a longer first content").ok);
    const AtomicWriteResult second = WriteFileAtomically(path, "second");
    EXPECT_TRUE(second.ok) << second.error;
    EXPECT_EQ(ReadFile(path), "second");
    ::close(memory);
}

}  // namespace
}  // namespace numtrail

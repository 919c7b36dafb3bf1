#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace numtrail {

// Writes all of the bytes to a file descriptor, again after an interruption and after a
// short write. Returns 0, or the cause of the failure (ENOSPC for a write that makes no
// progress without naming one).
int WriteWhole(int fd, const void* data, std::size_t size);

// A file written whole or not at all, without Qt (DiskFileStore writes through it too). The
// bytes go to a temporary file beside the target, so that the final rename stays on one file
// system and is atomic. Commit() flushes them to the disk, checks every step and only then
// renames the temporary file onto the target. Until Commit() succeeds the target keeps what
// it held; after any failure, and when the writer is dropped without Commit(), the
// temporary file is removed. Reading the target while writing is safe, so a file can be
// rewritten from its own content.
//
// The temporary file has an unpredictable name and stays private (0600) until Commit() gives
// it its final mode: the target's, when it exists, or 0666 less the umask. A target that is a
// symbolic link is replaced where the link points, except where another user could have
// planted the link or could swap what it points to: a link in a folder with the sticky bit
// (a shared /tmp), or one that points into such a folder, is refused, and so is a target that
// belongs to another user, each with a message that says why.
//
// A target in /proc/self/fd names a file the program holds open (an anonymous memory file,
// say); it has no folder to hold a temporary file, so it is written in place.
//
//     AtomicFileWriter out(path);
//     for (...) out.Write(chunk);   // each call returns false once anything failed
//     if (!out.Commit()) report(out.Error());
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(const std::filesystem::path& target);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False when the target is refused, when the temporary file could not be created (a
    // missing folder, a target that is a folder) or when a later step has failed.
    bool Ok() const { return error_.empty(); }
    // The first failure, for the user: what could not be done to which file, and why.
    const std::string& Error() const { return error_; }

    // Writes all of the bytes; a short write is a failure.
    bool Write(std::string_view bytes);
    bool Write(const void* data, std::size_t size);
    // Flushes to the disk, closes and renames onto the target. True only if every step
    // succeeded; the target then holds exactly the bytes written.
    bool Commit();

  private:
    bool Fail(const std::string& what, int cause);
    bool Refuse(const std::string& why);
    // Where the bytes go, or a refusal (false) when the target is not safe to replace.
    bool ChooseTarget();
    void Discard();

    std::filesystem::path target_;  // where the link points, for a symbolic link
    std::filesystem::path shown_;   // the path as given, for messages
    std::filesystem::path temp_;
    int fd_ = -1;
    unsigned mode_ = 0;  // the target's mode once committed
    bool in_place_ = false;
    bool temp_exists_ = false;
    bool committed_ = false;
    std::string error_;
};

// Whether the path names an existing file that is neither a regular file nor a folder: a
// device (/dev/null, /dev/stdout), a pipe or a socket. Such a target is written into as a
// stream; AtomicFileWriter would replace it with a regular file.
bool IsStreamTarget(const std::filesystem::path& path);

struct AtomicWriteResult {
    bool ok = false;
    std::string error;  // the reason, when !ok
};

// The whole content in one call, with the same guarantees as AtomicFileWriter.
[[nodiscard]] AtomicWriteResult WriteFileAtomically(const std::filesystem::path& target,
                                                    std::string_view bytes);

}  // namespace numtrail

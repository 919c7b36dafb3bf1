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

// A file written whole or not at all, without Qt (the Qt side has FileStore). The bytes go
// to a temporary file beside the target, so that the final rename stays on one file
// system and is atomic. Commit() flushes them to the disk, checks every step and only then
// renames the temporary file onto the target. Until Commit() succeeds the target keeps what
// it held; after any failure, and when the writer is dropped without Commit(), the
// temporary file is removed. Reading the target while writing is safe, so a file can be
// rewritten from its own content.
//
// A new file gets 0666 less the umask, a replaced one keeps its permissions; a target that
// is a symbolic link is replaced where the link points.
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

    // False when the temporary file could not be created (a missing folder, a target that
    // is a folder) or when a later step has failed.
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
    void Discard();

    std::filesystem::path target_;  // where the link points, for a symbolic link
    std::filesystem::path shown_;   // the path as given, for messages
    std::filesystem::path temp_;
    int fd_ = -1;
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

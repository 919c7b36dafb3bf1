#pragma once

#include <QByteArray>
#include <QString>
#include <limits>

namespace numtrail {

class AtomicFileWriter;

struct FileReadResult {
    bool ok = false;
    QByteArray bytes;
    QString error;           // a short reason, for the user, when !ok
    bool too_large = false;  // the file holds more than the reader would take: nothing was kept
};

struct FileWriteResult {
    bool ok = false;
    QString error;
};

// The program's own text files: number lists, exports and generated lists. Reads are
// whole-file; writes go to a temporary file that replaces the target only once it is
// complete, so a failed write never destroys what was there. A device or a pipe named as the
// target is written into instead.
class FileStore {
  public:
    virtual ~FileStore() = default;
    // A file of more than `max_bytes` is not read (a regular one) or not read further (a pipe or
    // a device, which tells no size): too_large, no bytes.
    virtual FileReadResult ReadAll(const QString& path,
                                   qint64 max_bytes = std::numeric_limits<qint64>::max()) = 0;
    virtual FileWriteResult WriteAtomically(const QString& path, const QByteArray& bytes) = 0;
};

class DiskFileStore : public FileStore {
  public:
    FileReadResult ReadAll(const QString& path,
                           qint64 max_bytes = std::numeric_limits<qint64>::max()) override;
    // Writes, flushes and checks everything before the target is replaced (AtomicFileWriter,
    // with its refusals of targets other users could have planted); on failure the reason is
    // returned, the target is untouched and the temporary file is gone.
    FileWriteResult WriteAtomically(const QString& path, const QByteArray& bytes) final;

  protected:
    // The last step: the finished temporary file takes the target's place. Tests override
    // it to make that step fail.
    virtual bool ReplaceTarget(AtomicFileWriter& file);
};

}  // namespace numtrail

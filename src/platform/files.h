#pragma once

#include <QByteArray>
#include <QString>

namespace numtrail {

struct FileReadResult {
    bool ok = false;
    QByteArray bytes;
    QString error;  // a short reason, for the user, when !ok
};

struct FileWriteResult {
    bool ok = false;
    QString error;
};

// The program's own text files: number lists, exports and generated lists. Reads are
// whole-file; writes go to a temporary file that replaces the target only once it is
// complete, so a failed write never destroys what was there.
class FileStore {
  public:
    virtual ~FileStore() = default;
    virtual FileReadResult ReadAll(const QString& path) = 0;
    virtual FileWriteResult WriteAtomically(const QString& path, const QByteArray& bytes) = 0;
};

class DiskFileStore final : public FileStore {
  public:
    FileReadResult ReadAll(const QString& path) override;
    FileWriteResult WriteAtomically(const QString& path, const QByteArray& bytes) override;
};

}  // namespace numtrail

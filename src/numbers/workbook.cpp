#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "numbers/workbook_formats.h"
#include "platform/atomic_file.h"

namespace numtrail {

std::unique_ptr<WorkbookReader> WorkbookReader::Open(ListFileKind kind, int fd,
                                                     ListFileRefusal& refusal,
                                                     const WorkbookLimits& limits) {
    switch (kind) {
        case ListFileKind::Xlsx:
            return OpenXlsx(fd, refusal, limits);
        case ListFileKind::Xls:
            return OpenXls(fd, false, refusal, limits);
        default:
            refusal = {ListFileRefusal::Why::NoList, "no workbook"};
            return nullptr;
    }
}

std::unique_ptr<WorkbookReader> WorkbookReader::Open(ListFileKind kind, std::string_view bytes,
                                                     ListFileRefusal& refusal,
                                                     const WorkbookLimits& limits) {
    if (kind == ListFileKind::Xlsx) return OpenXlsx(bytes, refusal, limits);
    if (kind != ListFileKind::Xls) return Open(kind, -1, refusal, limits);
    std::string error;
    const int fd = NewMemoryFile(error);
    if (fd < 0) {
        refusal = {ListFileRefusal::Why::TooLarge, error};
        return nullptr;
    }
    if (const int cause = WriteWhole(fd, bytes.data(), bytes.size()); cause != 0) {
        ::close(fd);
        refusal = {ListFileRefusal::Why::TooLarge,
                   std::string("it cannot be held in memory: ") + std::strerror(cause)};
        return nullptr;
    }
    return OpenXls(fd, true, refusal, limits);
}

int NewMemoryFile(std::string& error) {
    const int fd = ::memfd_create("numtrail-list", MFD_CLOEXEC);
    if (fd < 0) error = std::string("no file in memory can be made: ") + std::strerror(errno);
    return fd;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace numtrail

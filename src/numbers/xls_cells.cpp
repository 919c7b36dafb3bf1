// The cells an .xls workbook declares, read from its compound file (the OLE container) and its
// BIFF records without the library that reads the cells: that library holds a cell for every
// row and column that a sheet's DIMENSIONS record declares, as soon as it opens the file, so a
// few bytes declaring 65,536 rows of 256 columns, sheet after sheet, would take gigabytes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "numbers/workbook_formats.h"

namespace numtrail {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirectoryEntry = 128;
constexpr std::uint16_t kDimensionsRecord = 0x0200;

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Sums rows times columns of every DIMENSIONS record in a BIFF stream given in pieces.
class DimensionsSum {
  public:
    std::uint64_t cells = 0;

    void Add(std::string_view piece) {
        const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
        const std::size_t size = piece.size();
        for (std::size_t i = 0; i < size;) {
            if (left_ > 0) {
                const std::size_t n = std::min<std::size_t>(left_, size - i);
                if (dimensions_) {
                    const std::size_t take =
                        std::min(n, sizeof data_ - std::min(got_, sizeof data_));
                    std::memcpy(data_ + got_, p + i, take);
                    got_ += take;
                }
                i += n;
                left_ -= static_cast<std::uint32_t>(n);
                if (left_ == 0 && dimensions_) Count();
                continue;
            }
            head_[head_size_++] = p[i++];
            if (head_size_ < 4) continue;
            head_size_ = 0;
            dimensions_ = Le16(head_) == kDimensionsRecord;
            length_ = Le16(head_ + 2);
            left_ = length_;
            got_ = 0;
            if (left_ == 0 && dimensions_) Count();
        }
    }

  private:
    void Count() {
        dimensions_ = false;
        // BIFF8 writes the rows in 32 bits (14 bytes in all), BIFF5 in 16 (10 bytes).
        if (length_ >= 14 && got_ >= 14)
            cells += std::uint64_t{Le32(data_ + 4)} * Le16(data_ + 10);
        else if (length_ >= 10 && got_ >= 10)
            cells += std::uint64_t{Le16(data_ + 2)} * Le16(data_ + 6);
    }

    unsigned char head_[4] = {};
    std::size_t head_size_ = 0;
    std::uint32_t left_ = 0;  // bytes of the record's data still to come
    std::uint16_t length_ = 0;
    bool dimensions_ = false;
    unsigned char data_[14] = {};
    std::size_t got_ = 0;
};

class CompoundFile {
  public:
    explicit CompoundFile(int fd) : fd_(fd) {}

    bool Open();
    // Calls `piece` with the bytes of the chain of sectors from `start`, at most `size` of them,
    // until the chain ends. False when the chain leaves the file or loops.
    bool ReadChain(std::uint32_t start, std::uint64_t size,
                   const std::function<void(std::string_view)>& piece);
    bool ReadMiniChain(std::uint32_t start, std::uint64_t size,
                       const std::function<void(std::string_view)>& piece);
    // Calls `entry` with every entry of the directory.
    bool ForEachEntry(const std::function<bool(const unsigned char*)>& entry);

    std::uint32_t MiniCutoff() const { return mini_cutoff_; }
    bool Version4() const { return shift_ == 12; }

  private:
    bool ReadAt(std::uint64_t offset, std::size_t size, std::string& out);
    bool LoadMini();

    int fd_;
    std::uint64_t file_size_ = 0;
    unsigned shift_ = 9;
    std::size_t sector_ = 512;
    unsigned char header_[kHeaderSize] = {};
    std::vector<std::uint32_t> fat_;
    std::uint32_t mini_cutoff_ = 4096;
    bool mini_loaded_ = false;
    std::string mini_stream_;
    std::vector<std::uint32_t> mini_fat_;
};

bool CompoundFile::ReadAt(std::uint64_t offset, std::size_t size, std::string& out) {
    if (offset > file_size_ || size > file_size_ - offset) return false;
    out.resize(size);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool CompoundFile::Open() {
    struct stat info = {};
    if (::fstat(fd_, &info) != 0) return false;
    file_size_ = static_cast<std::uint64_t>(info.st_size);
    std::string header;
    if (!ReadAt(0, kHeaderSize, header)) return false;
    std::memcpy(header_, header.data(), kHeaderSize);
    shift_ = Le16(header_ + 0x1E);
    if ((shift_ != 9 && shift_ != 12) || Le16(header_ + 0x20) != 6) return false;
    sector_ = std::size_t{1} << shift_;
    mini_cutoff_ = Le32(header_ + 0x38);
    const std::uint64_t sectors = file_size_ >> shift_;
    const std::uint32_t fat_sectors = Le32(header_ + 0x2C);
    if (fat_sectors > sectors) return false;
    // Where the FAT's sectors are: 109 in the header, the rest in a chain of DIFAT sectors.
    std::vector<std::uint32_t> fat_at;
    for (std::size_t i = 0; i < 109 && fat_at.size() < fat_sectors; ++i)
        fat_at.push_back(Le32(header_ + 0x4C + 4 * i));
    std::string block;
    std::uint32_t difat = Le32(header_ + 0x44);
    for (std::uint64_t steps = 0; fat_at.size() < fat_sectors; ++steps) {
        if (difat == kEndOfChain || difat == kFreeSector || steps > sectors) return false;
        if (!ReadAt((std::uint64_t{difat} + 1) << shift_, sector_, block)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(block.data());
        for (std::size_t i = 0; i + 1 < sector_ / 4 && fat_at.size() < fat_sectors; ++i)
            fat_at.push_back(Le32(p + 4 * i));
        difat = Le32(p + sector_ - 4);
    }
    fat_.reserve(fat_at.size() * (sector_ / 4));
    for (const std::uint32_t at : fat_at) {
        if (!ReadAt((std::uint64_t{at} + 1) << shift_, sector_, block)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(block.data());
        for (std::size_t i = 0; i < sector_ / 4; ++i) fat_.push_back(Le32(p + 4 * i));
    }
    return true;
}

bool CompoundFile::ReadChain(std::uint32_t start, std::uint64_t size,
                             const std::function<void(std::string_view)>& piece) {
    constexpr std::size_t kRun = 1 << 20;  // contiguous sectors are read together
    std::string run;
    std::uint64_t steps = 0;
    for (std::uint32_t at = start; size > 0 && at != kEndOfChain;) {
        // A run of sectors that follow each other in the file.
        const std::uint32_t first = at;
        std::size_t count = 0;
        for (;;) {
            if (at >= fat_.size() || ++steps > fat_.size()) return false;
            ++count;
            const std::uint32_t next = fat_[at];
            if (next != at + 1 || count * sector_ >= kRun || count * sector_ >= size) {
                at = next;
                break;
            }
            at = next;
        }
        const std::size_t bytes =
            static_cast<std::size_t>(std::min<std::uint64_t>(count * sector_, size));
        if (!ReadAt((std::uint64_t{first} + 1) << shift_, bytes, run)) return false;
        piece(run);
        size -= bytes;
    }
    return true;
}

bool CompoundFile::LoadMini() {
    if (mini_loaded_) return true;
    mini_loaded_ = true;
    bool root_found = false;
    std::uint32_t root_start = 0;
    std::uint64_t root_size = 0;
    if (!ForEachEntry([&](const unsigned char* entry) {
            if (entry[0x42] != 5) return true;
            root_found = true;
            root_start = Le32(entry + 0x74);
            root_size = Version4() ? Le32(entry + 0x78) | std::uint64_t{Le32(entry + 0x7C)} << 32
                                   : Le32(entry + 0x78);
            return false;
        }) ||
        !root_found || root_size > file_size_)
        return false;
    if (!ReadChain(root_start, root_size, [this](std::string_view p) { mini_stream_ += p; }))
        return false;
    std::string mini_fat;
    if (!ReadChain(Le32(header_ + 0x3C), std::uint64_t{Le32(header_ + 0x40)} * sector_,
                   [&mini_fat](std::string_view p) { mini_fat += p; }))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(mini_fat.data());
    for (std::size_t i = 0; i + 4 <= mini_fat.size(); i += 4) mini_fat_.push_back(Le32(p + i));
    return true;
}

bool CompoundFile::ReadMiniChain(std::uint32_t start, std::uint64_t size,
                                 const std::function<void(std::string_view)>& piece) {
    if (!LoadMini()) return false;
    constexpr std::size_t kMiniSector = 64;
    std::uint64_t steps = 0;
    for (std::uint32_t at = start; size > 0 && at != kEndOfChain; at = mini_fat_[at]) {
        if (at >= mini_fat_.size() || ++steps > mini_fat_.size()) return false;
        const std::uint64_t offset = std::uint64_t{at} * kMiniSector;
        if (offset >= mini_stream_.size()) return false;
        const std::size_t bytes = static_cast<std::size_t>(
            std::min<std::uint64_t>({kMiniSector, size, mini_stream_.size() - offset}));
        piece(std::string_view(mini_stream_).substr(static_cast<std::size_t>(offset), bytes));
        size -= bytes;
    }
    return true;
}

bool CompoundFile::ForEachEntry(const std::function<bool(const unsigned char*)>& entry) {
    std::string directory;
    if (!ReadChain(Le32(header_ + 0x30), file_size_,
                   [&directory](std::string_view p) { directory += p; }))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(directory.data());
    for (std::size_t at = 0; at + kDirectoryEntry <= directory.size(); at += kDirectoryEntry)
        if (!entry(p + at)) break;
    return true;
}

// The names under which a workbook stream is kept (BIFF8, and BIFF5), in any case.
bool IsWorkbookStream(const unsigned char* entry) {
    const std::uint16_t size = Le16(entry + 0x40);  // in bytes, with the final NUL
    std::string name;
    for (std::size_t i = 0; i + 2 < size && i + 1 < 64; i += 2) {
        const std::uint16_t unit = Le16(entry + i);
        name += unit >= 'a' && unit <= 'z' ? char(unit - 32) : unit < 0x80 ? char(unit) : '?';
    }
    return entry[0x42] == 2 && (name == "WORKBOOK" || name == "BOOK");
}

}  // namespace

std::optional<std::uint64_t> DeclaredXlsCells(int fd) {
    CompoundFile file(fd);
    if (!file.Open()) return std::nullopt;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> streams;  // start and size
    if (!file.ForEachEntry([&](const unsigned char* entry) {
            if (IsWorkbookStream(entry))
                streams.emplace_back(
                    Le32(entry + 0x74),
                    file.Version4() ? Le32(entry + 0x78) | std::uint64_t{Le32(entry + 0x7C)} << 32
                                    : Le32(entry + 0x78));
            return true;
        }))
        return std::nullopt;
    // Every stream the library might take for the workbook is counted.
    std::uint64_t cells = 0;
    for (const auto& [start, size] : streams) {
        DimensionsSum sum;
        const auto add = [&sum](std::string_view piece) { sum.Add(piece); };
        const bool read = size < file.MiniCutoff() ? file.ReadMiniChain(start, size, add)
                                                   : file.ReadChain(start, size, add);
        if (!read) return std::nullopt;
        cells += sum.cells;
    }
    return cells;
}

}  // namespace numtrail

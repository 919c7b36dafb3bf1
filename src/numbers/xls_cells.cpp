// What an .xls workbook would make the library that reads its cells do, read from its compound
// file (the OLE container) and its BIFF records before that library sees it. The library holds a
// cell for every row and column that a sheet declares as soon as it opens the file, so a few
// bytes declaring 65,536 rows of 256 columns, sheet after sheet, would take gigabytes; and it
// trusts lengths written inside the file, reading past its buffers on a damaged one.
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
constexpr std::uint16_t kMaxDirectoryName = 64;  // bytes of UTF-16, the final NUL included

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Walks the records of a BIFF stream given in pieces, as the library will: it sums the cells
// each sheet will be given (the rows times the columns its DIMENSIONS record declares, or, before
// one, those its cells reach), and finds the records whose lengths would make the library read
// past what the record holds. The library reads each record into a buffer of 8,224 bytes and
// then trusts the lengths written inside it; the checks below follow how it reads each kind of
// record that holds a string (see freexl.c of libfreexl 1.0.6).
class BiffCheck {
  public:
    std::uint64_t cells = 0;
    bool damaged = false;

    void Add(std::string_view piece) {
        for (std::size_t i = 0; i < piece.size() && !damaged;) {
            if (head_size_ < 4) {
                head_[head_size_++] = static_cast<unsigned char>(piece[i++]);
                if (head_size_ == 4) {
                    length_ = Le16(head_ + 2);
                    if (length_ > kMaxRecord) damaged = true;
                    record_.clear();
                    if (length_ == 0) Record();
                }
                continue;
            }
            const std::size_t n = std::min<std::size_t>(length_ - record_.size(), piece.size() - i);
            record_.append(piece.data() + i, n);
            i += n;
            if (record_.size() == length_) Record();
        }
    }

    void Finish() { EndSheet(); }

  private:
    static constexpr std::size_t kMaxRecord = 8224;
    enum : std::uint16_t {
        kBof = 0x0809,
        kEof = 0x000A,
        kSst = 0x00FC,
        kContinue = 0x003C,
        kFormat = 0x041E,
        kLabel = 0x0204,
        kLabelSst = 0x00FD,
        kNumber = 0x0203,
        kRk = 0x027E,
        kMulRk = 0x00BD,
        kBoolErr = 0x0205,
    };

    void Record() {
        head_size_ = 0;
        const std::uint16_t type = Le16(head_);
        const auto* data = reinterpret_cast<const unsigned char*>(record_.data());
        const std::size_t size = record_.size();
        if (type == kContinue) {
            if (previous_ == kSst) Strings(data, size);
            return;
        }
        previous_ = type;
        switch (type) {
            case kBof:
                EndSheet();
                if (version_ == 0 && size >= 2) version_ = Le16(data) == 0x0600 ? 8 : 5;
                break;
            case kEof:
                EndSheet();
                break;
            case kDimensionsRecord:
                if (size >= 14)
                    declared_ += std::uint64_t{Le32(data + 4)} * Le16(data + 10);
                else if (size >= 10)
                    declared_ += std::uint64_t{Le16(data + 2)} * Le16(data + 6);
                dimensions_ = true;
                break;
            case kSst:
                Strings(data, size);
                break;
            case kFormat:
                if (version_ == 8) Unicode(data, size, 2, 4);
                break;
            case kLabel:
                if (version_ == 8)
                    Unicode(data, size, 6, 8);
                else if (size < 8 || 8u + Le16(data + 6) > size)
                    damaged = true;
                [[fallthrough]];
            case kLabelSst:
            case kNumber:
            case kRk:
            case kMulRk:
            case kBoolErr:
                // Cells before any DIMENSIONS record make the library size the sheet by them.
                if (!dimensions_ && size >= 4) {
                    rows_ = std::max<std::uint64_t>(rows_, Le16(data) + 1u);
                    columns_ = std::max<std::uint64_t>(columns_, Le16(data + 2) + 1u);
                }
                break;
            default:
                break;
        }
    }

    void EndSheet() {
        cells += std::max(declared_, rows_ * columns_);
        declared_ = rows_ = columns_ = 0;
        dimensions_ = false;
    }

    // The header of a string: its flags, then an optional count of rich text runs (2 bytes)
    // and size of extended data (4 bytes). Its size, or 0 when it does not fit.
    static std::size_t StringHeader(const unsigned char* data, std::size_t at, std::size_t size,
                                    bool& wide, std::uint64_t& extra) {
        if (at >= size) return 0;
        const unsigned char flags = data[at];
        wide = (flags & 0x01) != 0;
        const std::size_t header = 1 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
        if (at + header > size) return 0;
        extra = 0;
        std::size_t p = at + 1;
        if (flags & 0x08) extra += std::uint64_t{Le16(data + p)} * 4, p += 2;
        if (flags & 0x04) extra += Le32(data + p);
        return header;
    }

    // A string whose character count is at `count` and whose header is at `at`, read whole.
    void Unicode(const unsigned char* data, std::size_t size, std::size_t count, std::size_t at) {
        bool wide = false;
        std::uint64_t extra = 0;
        if (count + 2 > size) {
            damaged = true;
            return;
        }
        const std::size_t header = StringHeader(data, at, size, wide, extra);
        const std::uint64_t characters = Le16(data + count) * (wide ? 2u : 1u);
        if (header == 0 || at + header + characters > size) damaged = true;
    }

    // The shared strings, as the library reads them from the SST record and the CONTINUE
    // records after it, keeping its state from one record to the next.
    void Strings(const unsigned char* data, std::size_t size) {
        std::uint64_t p = 0;
        if (!sst_started_) {
            sst_started_ = true;
            if (size < 8) {
                damaged = true;
                return;
            }
            sst_count_ = Le32(data + 4);
            p = 8;
        } else if (pending_ > 0) {
            // The rest of a string cut by the end of the last record.
            if (size < 1) {
                damaged = true;
                return;
            }
            const bool wide = (data[0] & 0x01) != 0;
            p = 1;
            if (wide) {
                if (p + 2 * pending_ > size) {
                    damaged = true;
                    return;
                }
                p += 2 * pending_;
            } else {
                p += pending_;  // the library stops at the record's end here
            }
            // The library works out how far its extended data reaches into the next record,
            // then loses it: the next string is read right after this one.
            p += pending_skip_;
            next_skip_ = 0;
            pending_ = 0;
            ++sst_index_;
        }
        for (; sst_index_ < sst_count_; ++sst_index_) {
            if (p >= size) return;
            p += next_skip_;
            if (p + 2 > size) {
                damaged = true;
                return;
            }
            const std::uint64_t length = Le16(data + p);
            p += 2;
            bool wide = false;
            std::uint64_t extra = 0;
            const std::size_t header =
                StringHeader(data, static_cast<std::size_t>(p), size, wide, extra);
            if (header == 0) {
                damaged = true;
                return;
            }
            p += header;
            const std::uint64_t required = wide ? 2 * length : length;
            if (required > size - p) {
                // Cut by the record's end: the characters read so far, the rest in the next.
                const std::uint64_t read = wide ? (size - p) / 2 : size - p;
                pending_ = length - read;
                pending_skip_ = extra;
                return;
            }
            if (length == 0) return;  // the library stops at an empty string
            p += required + extra;
            next_skip_ = p >= size ? p - size : 0;
        }
    }

    unsigned char head_[4] = {};
    std::size_t head_size_ = 0;
    std::uint16_t length_ = 0;
    std::string record_;
    std::uint16_t previous_ = 0;
    int version_ = 0;
    std::uint64_t declared_ = 0, rows_ = 0, columns_ = 0;
    bool dimensions_ = false;
    bool sst_started_ = false;
    std::uint64_t sst_count_ = 0, sst_index_ = 0;
    std::uint64_t pending_ = 0, pending_skip_ = 0, next_skip_ = 0;
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

std::optional<std::uint64_t> CheckedXlsCells(int fd) {
    CompoundFile file(fd);
    if (!file.Open()) return std::nullopt;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> streams;  // start and size
    bool names_fit = true;
    if (!file.ForEachEntry([&](const unsigned char* entry) {
            // The library converts every name at the length the entry gives.
            if (Le16(entry + 0x40) > kMaxDirectoryName) names_fit = false;
            if (IsWorkbookStream(entry))
                streams.emplace_back(
                    Le32(entry + 0x74),
                    file.Version4() ? Le32(entry + 0x78) | std::uint64_t{Le32(entry + 0x7C)} << 32
                                    : Le32(entry + 0x78));
            return true;
        }) ||
        !names_fit)
        return std::nullopt;
    // Every stream the library might take for the workbook is checked.
    std::uint64_t cells = 0;
    for (const auto& [start, size] : streams) {
        BiffCheck check;
        const auto add = [&check](std::string_view piece) { check.Add(piece); };
        const bool read = size < file.MiniCutoff() ? file.ReadMiniChain(start, size, add)
                                                   : file.ReadChain(start, size, add);
        check.Finish();
        if (!read || check.damaged) return std::nullopt;
        cells += check.cells;
    }
    return cells;
}

}  // namespace numtrail

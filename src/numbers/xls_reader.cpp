// .xls workbooks (Excel 97 to 2003, and Excel 5), through libfreexl.
//
// The library is not safe against files made to break it: some damaged workbooks make it free
// memory twice or read past its buffers. So it never runs in our process. A child process,
// forked for each workbook, reads it with the library and sends its text back through a pipe,
// in frames; when the child dies on a file, the file is refused as damaged and nothing of ours
// is touched.
#include <fcntl.h>
#include <freexl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "numbers/list_text.h"
#include "numbers/workbook_formats.h"
#include "platform/atomic_file.h"

namespace numtrail {
namespace {

using Why = ListFileRefusal::Why;

constexpr std::size_t kPieceSize = 128 * 1024;

ListFileRefusal OpenFailure(int code) {
    switch (code) {
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return {Why::NoList, "an Office document that is no workbook"};
        case FREEXL_INSUFFICIENT_MEMORY:
            return {Why::TooLarge, "there is not memory enough to read it"};
        case FREEXL_UNSUPPORTED_CHARSET:
            return {Why::Damaged, "its text is in a character set that cannot be read"};
        case FREEXL_FILE_NOT_FOUND:
            return {Why::Damaged, "it cannot be opened again to be read"};
        default:
            return {Why::Damaged,
                    "it is cut short or damaged (the reader's error " + std::to_string(code) + ")"};
    }
}

// A closed handle on every path out.
struct Handle {
    const void* handle = nullptr;
    ~Handle() {
        if (handle != nullptr) freexl_close(handle);
    }
};

// Reads the workbook with the library; runs in the child only.
class LibraryReader final : public WorkbookReader {
  public:
    LibraryReader(const void* handle, unsigned sheets) : handle_(handle), sheets_(sheets) {}
    ~LibraryReader() override { freexl_close(handle_); }

    bool Next(std::string_view& piece, ListFileRefusal& refusal) override;
    double Done() const override { return sheets_ == 0 ? 1.0 : double(sheet_) / sheets_; }
    std::size_t Sheet() const override { return piece_sheet_; }

  private:
    // Selects sheet_ and reads its size; false when there is none left.
    bool SelectSheet(ListFileRefusal& refusal);
    void AppendCell(std::string& row, const FreeXL_CellValue& value);

    const void* handle_;
    unsigned sheets_;
    unsigned sheet_ = 0;
    unsigned piece_sheet_ = 0;
    bool selected_ = false;
    unsigned rows_ = 0;
    unsigned short columns_ = 0;
    unsigned row_ = 0;
    std::string out_;
    std::string line_;
    std::string number_;
};

bool LibraryReader::SelectSheet(ListFileRefusal& refusal) {
    while (!selected_ && sheet_ < sheets_) {
        if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(sheet_)) !=
                FREEXL_OK ||
            freexl_worksheet_dimensions(handle_, &rows_, &columns_) != FREEXL_OK) {
            refusal = {Why::Damaged, "sheet " + std::to_string(sheet_ + 1) + " cannot be read"};
            return false;
        }
        selected_ = true;
        row_ = 0;
    }
    return true;
}

void LibraryReader::AppendCell(std::string& row, const FreeXL_CellValue& value) {
    std::string_view text;
    switch (value.type) {
        case FREEXL_CELL_INT:
            number_ = std::to_string(value.value.int_value);
            text = number_;
            break;
        case FREEXL_CELL_DOUBLE: {
            // The shortest text that reads back as the same double, then as digits when integral.
            char buffer[64];
            const auto result =
                std::to_chars(buffer, buffer + sizeof buffer, value.value.double_value);
            number_ = NumberCellText({buffer, static_cast<std::size_t>(result.ptr - buffer)});
            text = number_;
            break;
        }
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            if (value.value.text_value != nullptr) text = value.value.text_value;
            break;
        default:
            break;
    }
    const std::size_t room = kMaxListLine + 1 > row.size() ? kMaxListLine + 1 - row.size() : 0;
    const std::size_t from = row.size();
    row.append(text.substr(0, room));
    for (std::size_t i = from; i < row.size(); ++i)
        if (row[i] == '\t' || row[i] == '\r' || row[i] == '\n') row[i] = ' ';
}

bool LibraryReader::Next(std::string_view& piece, ListFileRefusal& refusal) {
    out_.clear();
    while (out_.size() < kPieceSize) {
        if (!SelectSheet(refusal)) return false;
        if (sheet_ == sheets_) break;
        if (row_ == rows_) {
            ++sheet_;
            selected_ = false;
            if (!out_.empty()) break;  // the next sheet's rows in a piece of their own
            continue;
        }
        if (out_.empty()) piece_sheet_ = sheet_;
        // Cells are joined by tabs, and the empty ones at the end of the row dropped.
        line_.clear();
        std::size_t kept = 0;
        for (unsigned short column = 0; column < columns_ && line_.size() <= kMaxListLine;
             ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle_, row_, column, &value) != FREEXL_OK) {
                refusal = {Why::Damaged,
                           "a cell of sheet " + std::to_string(sheet_ + 1) + " cannot be read"};
                return false;
            }
            if (column > 0) line_ += '\t';
            const std::size_t text_from = line_.size();
            AppendCell(line_, value);
            if (line_.size() > text_from) kept = line_.size();
        }
        line_.resize(kept);
        out_ += line_;
        out_ += '\n';
        ++row_;
    }
    piece = out_;
    return true;
}

// Opens the workbook with the library: nullptr with `refusal` set when it cannot.
std::unique_ptr<WorkbookReader> OpenInLibrary(int fd, ListFileRefusal& refusal) {
    Handle full;
    const int code = freexl_open(DescriptorPath(fd).c_str(), &full.handle);
    if (code != FREEXL_OK) {
        refusal = OpenFailure(code);
        return nullptr;
    }
    unsigned value = 0;
    if (freexl_get_info(full.handle, FREEXL_BIFF_PASSWORD, &value) == FREEXL_OK &&
        value == FREEXL_BIFF_OBFUSCATED) {
        refusal = {Why::Damaged, "it is protected by a password"};
        return nullptr;
    }
    unsigned sheets = 0;
    if (freexl_get_info(full.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        refusal = {Why::Damaged, "its sheets cannot be counted"};
        return nullptr;
    }
    auto reader = std::make_unique<LibraryReader>(full.handle, sheets);
    full.handle = nullptr;
    return reader;
}

// What the child sends: a frame header, then `size` bytes (a piece of text, or a refusal's
// detail). Both ends are this program on this machine, so the header goes as it lies in memory.
enum class FrameKind : std::uint8_t { Opened, Piece, End, Refused };
struct FrameHeader {
    FrameKind kind;
    ListFileRefusal::Why why;
    std::uint32_t sheet;
    double done;
    std::uint64_t size;
};

// All the bytes asked for; false at the end of the pipe or on an error.
bool ReadAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool SendFrame(int fd, FrameHeader header, std::string_view body) {
    header.size = body.size();
    return WriteWhole(fd, &header, sizeof header) == 0 &&
           WriteWhole(fd, body.data(), body.size()) == 0;
}

// The child keeps the workbook, the pipe and the standard streams (a sanitizer's report goes
// to stderr); whatever else the process had open (sockets, other children's pipes) is closed,
// so that no other reader waits on a pipe end this child holds.
void CloseAllBut(int a, int b) {
    if (a > b) std::swap(a, b);
    unsigned from = 3;
    for (const int keep : {a, b}) {
        if (keep >= static_cast<int>(from)) {
            if (keep > static_cast<int>(from)) ::close_range(from, keep - 1, 0);
            from = static_cast<unsigned>(keep) + 1;
        }
    }
    ::close_range(from, UINT_MAX, 0);
}

[[noreturn]] void Refuse(int out, const ListFileRefusal& refusal) {
    SendFrame(out, {FrameKind::Refused, refusal.why, 0, 0, 0}, refusal.detail);
    ::_exit(0);
}

// Runs in the child, which ends here: _exit, for nothing of the parent's (its objects, its
// exit handlers) to run twice.
[[noreturn]] void ReadInChild(int fd, int out) {
    CloseAllBut(fd, out);
    ListFileRefusal refusal;
    std::unique_ptr<WorkbookReader> reader = OpenInLibrary(fd, refusal);
    if (!reader) Refuse(out, refusal);
    if (!SendFrame(out, {FrameKind::Opened, {}, 0, 0, 0}, {})) ::_exit(1);
    for (;;) {
        std::string_view piece;
        if (!reader->Next(piece, refusal)) Refuse(out, refusal);
        if (piece.empty()) break;
        const FrameHeader header{
            FrameKind::Piece, {}, static_cast<std::uint32_t>(reader->Sheet()), reader->Done(), 0};
        if (!SendFrame(out, header, piece)) ::_exit(1);
    }
    SendFrame(out, {FrameKind::End, {}, 0, 1, 0}, {});
    ::_exit(0);
}

ListFileRefusal Stopped() {
    return {Why::Damaged, "it is cut short or damaged (its reader stopped on it)"};
}

// The workbook's text as the child sends it.
class XlsReader final : public WorkbookReader {
  public:
    XlsReader(pid_t child, int in, int owned_fd) : child_(child), in_(in), owned_fd_(owned_fd) {}
    ~XlsReader() override {
        ::close(in_);
        if (child_ > 0) ::kill(child_, SIGKILL);  // one that is stuck in the library too
        Reap();
        if (owned_fd_ >= 0) ::close(owned_fd_);
    }

    // The next frame into header_ and body_; a child that died or sent a frame out of order
    // refuses the workbook as damaged.
    bool Receive(ListFileRefusal& refusal);

    bool Next(std::string_view& piece, ListFileRefusal& refusal) override {
        piece = {};
        if (ended_) return true;
        if (!Receive(refusal)) return false;
        switch (header_.kind) {
            case FrameKind::Piece:
                done_ = header_.done;
                sheet_ = header_.sheet;
                piece = body_;
                return true;
            case FrameKind::End:
                ended_ = true;
                done_ = 1;
                Reap();
                return true;
            default:
                refusal = Stopped();
                return false;
        }
    }
    double Done() const override { return done_; }
    std::size_t Sheet() const override { return sheet_; }

    const FrameHeader& header() const { return header_; }

  private:
    // Waits for the child to end; once only, for never to wait on another process's child.
    void Reap() {
        if (child_ <= 0) return;
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
        child_ = -1;
    }
    pid_t child_;
    int in_;
    int owned_fd_;
    FrameHeader header_{};
    std::string body_;
    bool ended_ = false;
    double done_ = 0;
    std::size_t sheet_ = 0;
};

bool XlsReader::Receive(ListFileRefusal& refusal) {
    // A piece is about kPieceSize bytes, a refusal's detail a line: anything larger is no frame
    // of ours.
    constexpr std::uint64_t kMostBody = 4 * kPieceSize + kMaxListLine + 1;
    if (!ReadAll(in_, reinterpret_cast<char*>(&header_), sizeof header_) ||
        header_.size > kMostBody) {
        Reap();
        refusal = Stopped();
        return false;
    }
    body_.resize(header_.size);
    if (!ReadAll(in_, body_.data(), body_.size())) {
        Reap();
        refusal = Stopped();
        return false;
    }
    if (header_.kind == FrameKind::Refused) {
        Reap();
        refusal = {header_.why, body_};
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<WorkbookReader> OpenXls(int fd, bool owned, ListFileRefusal& refusal,
                                        const WorkbookLimits& limits) {
    const auto fail = [&](ListFileRefusal why) -> std::unique_ptr<WorkbookReader> {
        refusal = std::move(why);
        if (owned) ::close(fd);
        return nullptr;
    };
    // The library holds a cell for every row and column the sheets declare as soon as it
    // opens the file: a workbook declaring too many is not given to it.
    const std::optional<std::uint64_t> cells = CheckedXlsCells(fd);
    if (!cells)
        return fail({Why::Damaged, "it is cut short, or its container or records are damaged"});
    if (*cells > limits.xls_cells)
        return fail({Why::TooLarge, "its sheets declare " + std::to_string(*cells) +
                                        " cells, more than " + std::to_string(limits.xls_cells)});
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return fail(
            {Why::TooLarge, std::string("no pipe to read it through: ") + std::strerror(errno)});
    const pid_t child = ::fork();
    if (child < 0) {
        const int cause = errno;
        ::close(ends[0]);
        ::close(ends[1]);
        return fail(
            {Why::TooLarge, std::string("no process to read it in: ") + std::strerror(cause)});
    }
    if (child == 0) {
        ::close(ends[0]);
        ReadInChild(fd, ends[1]);
    }
    ::close(ends[1]);
    auto reader = std::make_unique<XlsReader>(child, ends[0], owned ? fd : -1);
    // The first frame says whether the library could open it.
    if (!reader->Receive(refusal)) return nullptr;
    if (reader->header().kind != FrameKind::Opened) {
        refusal = Stopped();
        return nullptr;
    }
    return reader;
}

}  // namespace numtrail

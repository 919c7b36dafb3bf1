// .xlsx workbooks: a zip container (libzip) of XML parts (XmlPart), of which only the ones that
// say where the sheets are, the shared strings and the sheets themselves are read, each
// streamed as it is unpacked.
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "numbers/list_text.h"
#include "numbers/workbook_formats.h"
#include "numbers/xml_part.h"

namespace numtrail {
namespace {

using Why = ListFileRefusal::Why;
using xlsx::Attribute;
using xlsx::XmlAttributes;
using xlsx::XmlHandler;
using xlsx::XmlPart;

// About this much text is given at once.
constexpr std::size_t kPieceSize = 128 * 1024;
// Unpacked bytes handed to the XML parser at once.
constexpr std::size_t kReadSize = 64 * 1024;
// The rows and columns a sheet can have.
constexpr std::uint64_t kMaxRows = 1'048'576;
constexpr std::uint32_t kMaxColumns = 16'384;

std::string Size(std::uint64_t bytes) {
    if (bytes >= (1ull << 30)) return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (1ull << 20)) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

// Appends a cell's text, with tabs and line ends as blanks so that a row stays one line, up
// to one byte past kMaxListLine: the line cutter then gives the row cut.
void AppendCellText(std::string& to, std::string_view text) {
    const std::size_t room = kMaxListLine + 1 > to.size() ? kMaxListLine + 1 - to.size() : 0;
    const std::size_t from = to.size();
    to.append(text.substr(0, room));
    for (std::size_t i = from; i < to.size(); ++i)
        if (to[i] == '\t' || to[i] == '\r' || to[i] == '\n') to[i] = ' ';
}

// A part's name in the container from a relationship's target, relative to the folder of the
// part that holds the relationship (or to the root, for a target starting with "/").
std::string ResolveTarget(std::string_view folder, std::string_view target) {
    std::string decoded;
    for (std::size_t i = 0; i < target.size(); ++i) {
        int value = 0;
        if (target[i] == '%' && i + 2 < target.size() &&
            std::from_chars(target.data() + i + 1, target.data() + i + 3, value, 16).ptr ==
                target.data() + i + 3) {
            decoded += static_cast<char>(value);
            i += 2;
        } else {
            decoded += target[i];
        }
    }
    std::string path = decoded.starts_with('/') ? decoded.substr(1) : std::string(folder) + decoded;
    std::vector<std::string> segments;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
    return resolved;
}

std::string FolderOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// Where a part's relationships are: "xl/workbook.xml" has "xl/_rels/workbook.xml.rels".
std::string RelationshipsOf(std::string_view part) {
    const std::size_t slash = part.rfind('/');
    const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(part.substr(0, name)) + "_rels/" + std::string(part.substr(name)) + ".rels";
}

struct Relationship {
    std::string type;  // its last path segment: "officeDocument", "worksheet", "sharedStrings"
    std::string target;
};

class RelationshipsHandler final : public XmlHandler {
  public:
    std::map<std::string, Relationship, std::less<>> by_id;
    std::vector<std::string> ids;  // in the order written

    void Start(std::string_view name, XmlAttributes attributes) override {
        if (name != "Relationship" || Attribute(attributes, "TargetMode") == "External") return;
        const std::string_view type = Attribute(attributes, "Type");
        const std::string id(Attribute(attributes, "Id"));
        if (by_id.contains(id)) return;
        ids.push_back(id);
        by_id[id] = {std::string(type.substr(type.rfind('/') + 1)),
                     std::string(Attribute(attributes, "Target"))};
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

class WorkbookHandler final : public XmlHandler {
  public:
    bool is_workbook = false;
    std::vector<std::string> sheet_ids;  // in the workbook's order of sheets

    void Start(std::string_view name, XmlAttributes attributes) override {
        if (!seen_root_) {
            seen_root_ = true;
            is_workbook = name == "workbook";
        }
        if (name == "sheet") sheet_ids.emplace_back(Attribute(attributes, "id"));
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}

  private:
    bool seen_root_ = false;
};

// The strings of the shared table, one after another, and where each ends.
struct SharedStrings {
    std::string text;
    std::vector<std::uint32_t> ends;

    std::string_view At(std::size_t i) const {
        if (i >= ends.size()) return {};
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

// Text of <t> elements, but not of phonetic runs (<rPh>), which repeat the text's reading.
class StringCollector {
  public:
    void Start(std::string_view name) {
        if (name == "t" && phonetic_ == 0)
            collecting_ = true;
        else if (name == "rPh")
            ++phonetic_;
    }
    void End(std::string_view name) {
        if (name == "t")
            collecting_ = false;
        else if (name == "rPh" && phonetic_ > 0)
            --phonetic_;
    }
    bool Collecting() const { return collecting_; }

  private:
    bool collecting_ = false;
    int phonetic_ = 0;
};

class SharedStringsHandler final : public XmlHandler {
  public:
    SharedStringsHandler(SharedStrings& strings, const WorkbookLimits& limits, XmlPart*& part)
        : strings_(strings), limits_(limits), part_(part) {}

    void Start(std::string_view name, XmlAttributes) override {
        if (name == "si") {
            in_string_ = true;
            current_.clear();
        } else if (in_string_) {
            collector_.Start(name);
        }
    }
    void End(std::string_view name) override {
        if (name != "si") {
            collector_.End(name);
            return;
        }
        in_string_ = false;
        if (strings_.ends.size() >= limits_.shared_strings) {
            part_->Stop({Why::TooLarge, "its shared table holds more than " +
                                            std::to_string(limits_.shared_strings) + " strings"});
            return;
        }
        if (strings_.text.size() + current_.size() > limits_.shared_string_bytes) {
            part_->Stop({Why::TooLarge, "the strings of its shared table take more than " +
                                            Size(limits_.shared_string_bytes)});
            return;
        }
        strings_.text += current_;
        strings_.ends.push_back(static_cast<std::uint32_t>(strings_.text.size()));
    }
    void Text(std::string_view text) override {
        if (in_string_ && collector_.Collecting()) AppendCellText(current_, text);
    }

  private:
    SharedStrings& strings_;
    const WorkbookLimits& limits_;
    XmlPart*& part_;
    bool in_string_ = false;
    StringCollector collector_;
    std::string current_;
};

// Rows of a sheet as lines of text appended to `out`.
class SheetHandler final : public XmlHandler {
  public:
    // `left_out` counts the empty lines given for rows that sheets leave out, up to `limit`:
    // a few bytes saying "row 1048576", sheet after sheet, must not make billions of lines.
    SheetHandler(const SharedStrings& strings, std::string& out, XmlPart*& part,
                 std::uint64_t& left_out, std::uint64_t limit)
        : strings_(strings), out_(out), part_(part), left_out_(left_out), limit_(limit) {}

    void Start(std::string_view name, XmlAttributes attributes) override {
        if (name == "c") {
            StartCell(attributes);
        } else if (name == "v") {
            collecting_value_ = in_cell_;
        } else if (name == "is") {
            in_inline_ = in_cell_;
        } else if (name == "row") {
            StartRow(attributes);
        } else if (in_inline_) {
            inline_.Start(name);
        }
    }

    void End(std::string_view name) override {
        if (name == "v") {
            collecting_value_ = false;
        } else if (name == "c") {
            EndCell();
        } else if (name == "row") {
            if (!in_row_) return;
            in_row_ = false;
            out_ += row_;
            out_ += '\n';
            ++next_row_;
        } else if (name == "is") {
            in_inline_ = false;
        } else if (in_inline_) {
            inline_.End(name);
        }
    }

    void Text(std::string_view text) override {
        if (collecting_value_ || (in_inline_ && inline_.Collecting())) AppendCellText(cell_, text);
    }

  private:
    void StartRow(XmlAttributes attributes) {
        std::uint64_t number = next_row_;
        const std::string_view r = Attribute(attributes, "r");
        std::uint64_t given = 0;
        if (!r.empty() && std::from_chars(r.data(), r.data() + r.size(), given).ec == std::errc() &&
            given > number)
            number = given;
        if (number > kMaxRows) {
            part_->Stop({Why::Damaged, "a sheet has a row past " + std::to_string(kMaxRows)});
            return;
        }
        left_out_ += number - next_row_;
        if (left_out_ > limit_) {
            part_->Stop({Why::TooLarge, "its sheets leave out more than " + std::to_string(limit_) +
                                            " rows before their last"});
            return;
        }
        out_.append(number - next_row_, '\n');  // the rows the sheet leaves out
        next_row_ = number;
        in_row_ = true;
        row_.clear();
        fields_ = 0;
        column_ = -1;
    }

    void StartCell(XmlAttributes attributes) {
        if (!in_row_) return;
        in_cell_ = true;
        cell_.clear();
        long column = column_ + 1;
        const std::string_view r = Attribute(attributes, "r");
        long given = 0;
        std::size_t letters = 0;
        for (; letters < r.size() && letters < 4 && r[letters] >= 'A' && r[letters] <= 'Z';
             ++letters)
            given = given * 26 + (r[letters] - 'A' + 1);
        if (letters > 0 && given - 1 > column_) column = given - 1;
        column_ = column;
        const std::string_view type = Attribute(attributes, "t");
        type_ = type.empty() || type == "n" ? 'n' : type == "s" ? 's' : type == "b" ? 'b' : 't';
    }

    void EndCell() {
        if (!in_cell_) return;
        in_cell_ = false;
        collecting_value_ = false;
        in_inline_ = false;
        if (column_ >= static_cast<long>(kMaxColumns)) return;
        std::string number;
        std::string_view text = cell_;
        switch (type_) {
            case 's': {
                std::size_t index = 0;
                const auto [end, ec] =
                    std::from_chars(cell_.data(), cell_.data() + cell_.size(), index);
                text = ec == std::errc() ? strings_.At(index) : std::string_view();
                break;
            }
            case 'n':
                number = NumberCellText(cell_);
                text = number;
                break;
            case 'b':
                if (cell_ == "1") text = "TRUE";
                if (cell_ == "0") text = "FALSE";
                break;
        }
        if (text.empty() || row_.size() > kMaxListLine) return;
        const auto column = static_cast<std::size_t>(column_);
        const std::size_t tabs = fields_ == 0 ? column : column - fields_ + 1;
        row_.append(std::min(tabs, kMaxListLine + 1 - row_.size()), '\t');
        AppendCellText(row_, text);
        fields_ = column + 1;
    }

    const SharedStrings& strings_;
    std::string& out_;
    XmlPart*& part_;
    std::uint64_t& left_out_;
    std::uint64_t limit_;
    std::uint64_t next_row_ = 1;  // the row number of the next line
    bool in_row_ = false;
    std::string row_;
    std::size_t fields_ = 0;  // fields in row_: the column of the last cell written, plus one
    long column_ = -1;        // the column of the cell being read
    bool in_cell_ = false;
    char type_ = 'n';  // 'n' number, 's' shared string, 'b' boolean, 't' text as it stands
    bool collecting_value_ = false;
    bool in_inline_ = false;
    StringCollector inline_;
    std::string cell_;
};

class XlsxReader final : public WorkbookReader {
  public:
    XlsxReader(zip_t* zip, const WorkbookLimits& limits) : zip_(zip), limits_(limits) {}
    ~XlsxReader() override {
        CloseSheet();
        zip_discard(zip_);
    }

    bool Open(ListFileRefusal& refusal);
    bool Next(std::string_view& piece, ListFileRefusal& refusal) override;
    double Done() const override {
        return sheets_bytes_ == 0
                   ? 1.0
                   : static_cast<double>(sheets_read_) / static_cast<double>(sheets_bytes_);
    }
    std::size_t Sheet() const override { return piece_sheet_; }

  private:
    struct Part {
        zip_uint64_t index = 0;
        std::string name;
        std::uint64_t size = 0;  // unpacked, as the container says
    };
    // An open part being unpacked.
    struct Reading {
        Part part;
        zip_file_t* file = nullptr;
        std::uint64_t read = 0;
    };

    // The part by name (in any case, as parts are named), nullopt when there is none.
    std::optional<Part> Find(const std::string& name);
    // Opens a part for reading, within the limits for its kind.
    bool Begin(const Part& part, bool small, Reading& reading, ListFileRefusal& refusal);
    // The next bytes of the part into `buffer`: their count, 0 at the end, -1 on a failure.
    long Read(Reading& reading, void* buffer, std::size_t size, ListFileRefusal& refusal);
    void End(Reading& reading);
    // Reads a whole part through a handler.
    bool ParseWhole(const Part& part, bool small, XmlHandler& handler, XmlPart*& xml,
                    ListFileRefusal& refusal);
    bool ReadRelationships(const std::string& of, RelationshipsHandler& handler,
                           ListFileRefusal& refusal);
    // Says what a container without a workbook holds.
    ListFileRefusal NoWorkbook(const std::string& office_document);
    void CloseSheet();

    zip_t* zip_;
    WorkbookLimits limits_;
    std::uint64_t total_ = 0;  // unpacked bytes of the parts opened, as their container says
    std::uint64_t left_out_ = 0;
    SharedStrings strings_;
    std::vector<Part> sheets_;
    std::uint64_t sheets_bytes_ = 0;
    std::uint64_t sheets_read_ = 0;
    std::size_t next_sheet_ = 0;
    std::size_t piece_sheet_ = 0;
    Reading sheet_;
    std::unique_ptr<SheetHandler> sheet_handler_;
    std::unique_ptr<XmlPart> sheet_xml_;
    XmlPart* sheet_part_ = nullptr;
    std::string out_;
};

std::optional<XlsxReader::Part> XlsxReader::Find(const std::string& name) {
    const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return std::nullopt;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0)
        return std::nullopt;
    return Part{static_cast<zip_uint64_t>(index), name, stat.size};
}

bool XlsxReader::Begin(const Part& part, bool small, Reading& reading, ListFileRefusal& refusal) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip_, part.index, 0, &stat) != 0 ||
        (stat.valid & (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) !=
            (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) {
        refusal = {Why::Damaged, "the sizes of " + part.name + " cannot be read"};
        return false;
    }
    const std::uint64_t cap = small ? limits_.small_part_bytes : limits_.part_bytes;
    if (stat.size > cap) {
        refusal = {Why::TooLarge, part.name + " unpacks to " + Size(stat.size) +
                                      ", more than the " + Size(cap) + " a part may"};
        return false;
    }
    if (stat.size > limits_.ratio_from && stat.size / limits_.ratio > stat.comp_size) {
        refusal = {Why::TooLarge, part.name + " unpacks to more than " +
                                      std::to_string(limits_.ratio) +
                                      " times its packed size, as no workbook does"};
        return false;
    }
    if (total_ + stat.size > limits_.total_bytes) {
        refusal = {Why::TooLarge, "its parts unpack to more than " + Size(limits_.total_bytes)};
        return false;
    }
    total_ += stat.size;
    reading.part = part;
    reading.part.size = stat.size;
    reading.read = 0;
    reading.file = zip_fopen_index(zip_, part.index, 0);
    if (reading.file == nullptr) {
        refusal = {Why::Damaged, part.name + " cannot be unpacked (" + zip_strerror(zip_) + ")"};
        return false;
    }
    return true;
}

long XlsxReader::Read(Reading& reading, void* buffer, std::size_t size, ListFileRefusal& refusal) {
    const zip_int64_t n = zip_fread(reading.file, buffer, size);
    if (n < 0) {
        refusal = {Why::Damaged, reading.part.name + " cannot be unpacked (" +
                                     zip_file_strerror(reading.file) + ")"};
        return -1;
    }
    reading.read += static_cast<std::uint64_t>(n);
    // The limits were checked against the size the container declares: hold it to that.
    if (reading.read > reading.part.size || (n == 0 && reading.read != reading.part.size)) {
        refusal = {Why::Damaged,
                   reading.part.name + " does not unpack to the size its container gives"};
        return -1;
    }
    return static_cast<long>(n);
}

void XlsxReader::End(Reading& reading) {
    if (reading.file != nullptr) zip_fclose(reading.file);
    reading.file = nullptr;
}

bool XlsxReader::ParseWhole(const Part& part, bool small, XmlHandler& handler, XmlPart*& xml,
                            ListFileRefusal& refusal) {
    Reading reading;
    if (!Begin(part, small, reading, refusal)) return false;
    XmlPart parser(part.name, handler);
    xml = &parser;
    bool ok = true;
    for (long n = 1; ok && n != 0;) {
        void* buffer = parser.Buffer(kReadSize);
        n = buffer == nullptr ? -1 : Read(reading, buffer, kReadSize, refusal);
        if (buffer == nullptr) refusal = {Why::TooLarge, "no memory to read " + part.name};
        ok = n >= 0 && parser.Parse(static_cast<std::size_t>(n), refusal);
    }
    xml = nullptr;
    End(reading);
    return ok;
}

bool XlsxReader::ReadRelationships(const std::string& of, RelationshipsHandler& handler,
                                   ListFileRefusal& refusal) {
    const std::optional<Part> part = Find(RelationshipsOf(of));
    if (!part) return true;
    XmlPart* xml = nullptr;
    return ParseWhole(*part, true, handler, xml, refusal);
}

ListFileRefusal XlsxReader::NoWorkbook(const std::string& office_document) {
    struct Sign {
        const char* part;
        const char* what;
    };
    static constexpr Sign kSigns[] = {
        {"xl/workbook.bin", "a binary workbook (.xlsb), which is not read: save it as .xlsx"},
        {"word/document.xml", "a Word document"},
        {"ppt/presentation.xml", "a presentation"},
        {"content.xml", "an OpenDocument file (.ods, .odt), which is not read: save it as .xlsx"},
    };
    for (const Sign& sign : kSigns)
        if (office_document == sign.part || Find(sign.part)) return {Why::NoList, sign.what};
    return {Why::NoList, "a zip archive that holds no workbook"};
}

bool XlsxReader::Open(ListFileRefusal& refusal) {
    const zip_int64_t entries = zip_get_num_entries(zip_, 0);
    if (entries < 0 || static_cast<std::uint64_t>(entries) > limits_.entries) {
        refusal = {Why::TooLarge,
                   "its container holds more than " + std::to_string(limits_.entries) + " entries"};
        return false;
    }
    RelationshipsHandler root;
    if (!ReadRelationships("", root, refusal)) return false;
    std::string office_document = "xl/workbook.xml";
    for (const std::string& id : root.ids)
        if (root.by_id[id].type == "officeDocument") {
            office_document = ResolveTarget("", root.by_id[id].target);
            break;
        }
    const std::optional<Part> workbook_part = Find(office_document);
    if (!workbook_part || !office_document.ends_with(".xml")) {
        refusal = NoWorkbook(office_document);
        return false;
    }
    WorkbookHandler workbook;
    XmlPart* xml = nullptr;
    if (!ParseWhole(*workbook_part, true, workbook, xml, refusal)) return false;
    if (!workbook.is_workbook) {
        refusal = NoWorkbook(office_document);
        return false;
    }
    RelationshipsHandler relationships;
    if (!ReadRelationships(office_document, relationships, refusal)) return false;
    const std::string folder = FolderOf(office_document);

    for (const std::string& id : relationships.ids) {
        const Relationship& r = relationships.by_id[id];
        if (r.type != "sharedStrings") continue;
        if (const std::optional<Part> part = Find(ResolveTarget(folder, r.target))) {
            SharedStringsHandler handler(strings_, limits_, xml);
            if (!ParseWhole(*part, false, handler, xml, refusal)) return false;
        }
        break;
    }
    for (const std::string& id : workbook.sheet_ids) {
        const auto r = relationships.by_id.find(id);
        if (r == relationships.by_id.end() || r->second.type != "worksheet") continue;
        if (std::optional<Part> part = Find(ResolveTarget(folder, r->second.target))) {
            sheets_bytes_ += part->size;
            sheets_.push_back(std::move(*part));
        } else {
            refusal = {Why::Damaged, "a sheet it names is missing: " + r->second.target};
            return false;
        }
    }
    return true;
}

void XlsxReader::CloseSheet() {
    sheet_xml_.reset();
    sheet_handler_.reset();
    sheet_part_ = nullptr;
    End(sheet_);
}

bool XlsxReader::Next(std::string_view& piece, ListFileRefusal& refusal) {
    out_.clear();
    while (out_.size() < kPieceSize) {
        if (!sheet_xml_) {
            if (next_sheet_ == sheets_.size()) break;
            if (!Begin(sheets_[next_sheet_], false, sheet_, refusal)) return false;
            sheet_handler_ = std::make_unique<SheetHandler>(strings_, out_, sheet_part_, left_out_,
                                                            limits_.rows_left_out);
            sheet_xml_ = std::make_unique<XmlPart>(sheet_.part.name, *sheet_handler_);
            sheet_part_ = sheet_xml_.get();
        }
        if (out_.empty()) piece_sheet_ = next_sheet_;
        void* buffer = sheet_xml_->Buffer(kReadSize);
        if (buffer == nullptr) {
            refusal = {Why::TooLarge, "no memory to read " + sheet_.part.name};
            return false;
        }
        const long n = Read(sheet_, buffer, kReadSize, refusal);
        if (n < 0 || !sheet_xml_->Parse(static_cast<std::size_t>(n), refusal)) return false;
        sheets_read_ += static_cast<std::uint64_t>(n);
        if (n == 0) {
            CloseSheet();
            ++next_sheet_;
            if (!out_.empty()) break;  // the next sheet's rows in a piece of their own
        }
    }
    piece = out_;
    return true;
}

std::string ZipError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::unique_ptr<WorkbookReader> Finish(zip_t* zip, int error, const WorkbookLimits& limits,
                                       ListFileRefusal& refusal) {
    if (zip == nullptr) {
        refusal = {Why::Damaged, "its container is cut short or damaged (" + ZipError(error) + ")"};
        return nullptr;
    }
    auto reader = std::make_unique<XlsxReader>(zip, limits);
    if (!reader->Open(refusal)) return nullptr;
    return reader;
}

}  // namespace

// libzip's consistency check also refuses the local headers that some writers (libxlsxwriter
// with zip64 among them, as our own Excel tables are written) fill differently from the central
// directory. Such a workbook is opened again without the check: every part is still read
// within the limits and against its checksum.
constexpr int kOpenFlags[] = {ZIP_RDONLY | ZIP_CHECKCONS, ZIP_RDONLY};

std::unique_ptr<WorkbookReader> OpenXlsx(int fd, ListFileRefusal& refusal,
                                         const WorkbookLimits& limits) {
    zip_t* zip = nullptr;
    int error = ZIP_ER_OPEN;
    for (const int flags : kOpenFlags) {
        const int copy = ::dup(fd);
        zip = copy < 0 ? nullptr : zip_fdopen(copy, flags, &error);
        if (zip == nullptr && copy >= 0) ::close(copy);
        if (zip != nullptr || error != ZIP_ER_INCONS) break;
    }
    return Finish(zip, error, limits, refusal);
}

std::unique_ptr<WorkbookReader> OpenXlsx(std::string_view bytes, ListFileRefusal& refusal,
                                         const WorkbookLimits& limits) {
    zip_t* zip = nullptr;
    int code = ZIP_ER_OPEN;
    for (const int flags : kOpenFlags) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        zip = source == nullptr ? nullptr : zip_open_from_source(source, flags, &error);
        if (zip == nullptr && source != nullptr) zip_source_free(source);
        code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        if (zip != nullptr || code != ZIP_ER_INCONS) break;
    }
    return Finish(zip, code, limits, refusal);
}

std::string NumberCellText(std::string_view stored) {
    // [-]digits[.digits][(e|E)[+|-]digits], as numbers are stored.
    std::size_t i = 0;
    const bool negative = i < stored.size() && stored[i] == '-';
    if (negative) ++i;
    std::string digits;  // all significant digits, without the point
    long point = 0;      // digits before the point
    const auto take_digits = [&](bool before_point) {
        const std::size_t from = i;
        while (i < stored.size() && stored[i] >= '0' && stored[i] <= '9') digits += stored[i++];
        if (before_point) point = static_cast<long>(i - from);
        return i > from;
    };
    bool any = take_digits(true);
    if (i < stored.size() && stored[i] == '.') {
        ++i;
        any = take_digits(false) || any;
    }
    if (!any) return std::string(stored);
    long exponent = 0;
    if (i < stored.size() && (stored[i] == 'e' || stored[i] == 'E')) {
        ++i;
        const char* end = stored.data() + stored.size();
        if (i < stored.size() && stored[i] == '+') ++i;
        const auto [after, ec] = std::from_chars(stored.data() + i, end, exponent);
        if (ec != std::errc() || after != end) return std::string(stored);
        i = stored.size();
    }
    if (i != stored.size()) return std::string(stored);
    // Longer integers than this are no number of a list, only zeros a made-up file could ask for.
    constexpr long kMaxDigits = 24;
    if (exponent > kMaxDigits || exponent < -kMaxDigits) return std::string(stored);
    const long integer_digits = point + exponent;
    for (long k = std::max(integer_digits, 0L); k < static_cast<long>(digits.size()); ++k)
        if (digits[static_cast<std::size_t>(k)] != '0') return std::string(stored);
    std::string integer;
    for (long k = 0; k < integer_digits; ++k)
        integer += k < static_cast<long>(digits.size()) ? digits[static_cast<std::size_t>(k)] : '0';
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    if (integer.empty()) return "0";
    if (static_cast<long>(integer.size()) > kMaxDigits) return std::string(stored);
    return negative ? "-" + integer : integer;
}

}  // namespace numtrail

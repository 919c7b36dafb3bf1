#include "numbers/list_file.h"

#include <algorithm>

#include "numbers/list_text.h"
#include "numbers/vcard.h"
#include "numbers/workbook.h"

namespace numtrail {
namespace {

// Signatures of files that are often mistaken for lists, so that the message can say what the
// file is.
struct Signature {
    std::string_view start;
    std::string_view what;
};
constexpr Signature kSignatures[] = {
    {"%PDF-", "a PDF document"},
    {"\x89PNG\r\n\x1A\n", "a picture (PNG)"},
    {"\xFF\xD8\xFF", "a picture (JPEG)"},
    {"GIF87a", "a picture (GIF)"},
    {"GIF89a", "a picture (GIF)"},
    {std::string_view("II*\0", 4), "a picture (TIFF)"},
    {std::string_view("MM\0*", 4), "a picture (TIFF)"},
    {"\x1F\x8B", "a gzip archive"},
    {"Rar!\x1A\x07", "a RAR archive"},
    {"7z\xBC\xAF\x27\x1C", "a 7z archive"},
    {"\x7F"
     "ELF",
     "a program"},
};

bool StartsIgnoringCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        const char c = text[i] >= 'a' && text[i] <= 'z' ? char(text[i] - 32) : text[i];
        if (c != start[i]) return false;
    }
    return true;
}

// A contacts file starts with BEGIN:VCARD, after a byte order mark and blank lines.
bool IsContacts(std::string_view head) {
    std::string converted;
    if (head.starts_with("\xEF\xBB\xBF")) {
        head.remove_prefix(3);
    } else if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
        Utf16Decoder decoder(head[0] == '\xFE');
        converted = decoder.Convert(head.substr(2));
        head = converted;
    }
    head.remove_prefix(std::min(head.find_first_not_of(" \t\r\n"), head.size()));
    return StartsIgnoringCase(head, "BEGIN:VCARD");
}

// Text has no NUL bytes and few control characters; a binary file has plenty of both.
bool LooksBinary(std::string_view head) {
    std::size_t controls = 0;
    for (const char c : head) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) return true;
        // Tab, line ends, form feed, ESC and the old end-of-file mark occur in text.
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' &&
            b != 0x1A && b != 0x1B)
            ++controls;
    }
    return controls * 20 > head.size();
}

}  // namespace

std::string ListFileRefusal::Message(std::string_view name) const {
    if (why == Why::NoList) return std::string(name) + " holds no number list: it is " + detail;
    return std::string(name) + " cannot be read as a workbook: " + detail;
}

std::optional<ListFileKind> SniffListFile(std::string_view head, ListFileRefusal& refusal) {
    head = head.substr(0, kListFileHead);
    if (head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06")) return ListFileKind::Xlsx;
    if (head.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return ListFileKind::Xls;
    if (IsContacts(head)) return ListFileKind::Contacts;
    // UTF-16 text is half NUL bytes; its byte order mark says it is text.
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return ListFileKind::Text;
    for (const Signature& signature : kSignatures) {
        if (head.starts_with(signature.start)) {
            refusal = {ListFileRefusal::Why::NoList, std::string(signature.what)};
            return std::nullopt;
        }
    }
    if (head.size() >= 12 && head.starts_with("RIFF") && head.substr(8, 4) == "WEBP") {
        refusal = {ListFileRefusal::Why::NoList, "a picture (WebP)"};
        return std::nullopt;
    }
    if (LooksBinary(head)) {
        refusal = {ListFileRefusal::Why::NoList, "binary data, not text"};
        return std::nullopt;
    }
    return ListFileKind::Text;
}

std::optional<ListFileRefusal> ReadListFile(
    std::string_view bytes, const std::function<void(std::string_view line, bool cut)>& line) {
    ListFileRefusal refusal;
    const std::optional<ListFileKind> kind = SniffListFile(bytes, refusal);
    if (!kind) return refusal;
    if (*kind == ListFileKind::Text) {
        ListLineCutter cutter(ChooseListEncoding(bytes));
        const auto give = [&line, &cutter](std::string_view text) { line(text, cutter.LineCut()); };
        cutter.Add(bytes, give);
        cutter.Finish(give);
        return std::nullopt;
    }
    // Workbooks and contacts files give UTF-8 text, cut into lines as any list is.
    ListLineCutter cutter({ListEncoding::Utf8, 0});
    const auto give = [&line, &cutter](std::string_view text) { line(text, cutter.LineCut()); };
    if (*kind == ListFileKind::Contacts) {
        VcardReader reader;
        std::string text;
        constexpr std::size_t kPiece = 1 << 20;
        for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
            text.clear();
            reader.Add(bytes.substr(at, kPiece), text);
            cutter.Add(text, give);
        }
        text.clear();
        reader.Finish(text);
        cutter.Add(text, give);
        cutter.Finish(give);
        return std::nullopt;
    }
    const std::unique_ptr<WorkbookReader> reader = WorkbookReader::Open(*kind, bytes, refusal);
    if (!reader) return refusal;
    for (std::string_view piece;;) {
        if (!reader->Next(piece, refusal)) return refusal;
        if (piece.empty()) break;
        cutter.Add(piece, give);
    }
    cutter.Finish(give);
    return std::nullopt;
}

}  // namespace numtrail

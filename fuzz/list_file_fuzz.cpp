// Number list files of every kind: workbooks (.xlsx, .xls), contacts files, text, and what is
// none of them. The first byte says how the rest is used:
//   0  the file itself;
//   1  the XML of a sheet, in a workbook whose other parts are whole;
//   2  the XML of the shared strings, beside a sheet that uses the first of them;
//   3  a contacts file, read whole and in two pieces cut at the second byte.
// Every line must be UTF-8 without a line end and no longer than a line may be, and a contacts
// file must give the same lines wherever its pieces end.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "numbers/list_file.h"
#include "numbers/list_text.h"
#include "numbers/vcard.h"

namespace {

// A zip of stored entries, so that the bytes the fuzzer changes reach the XML reader as they
// are (their checksums no longer match, which the reader finds only after reading them).
std::string StoredZip(const std::vector<std::pair<const char*, std::string_view>>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(target);
    zip_t* zip = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name, source, 0);
        zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    zip_close(zip);
    std::string bytes;
    zip_stat_t stat;
    if (zip_source_stat(target, &stat) == 0 && zip_source_open(target) == 0) {
        bytes.resize(stat.size);
        zip_source_read(target, bytes.data(), bytes.size());
        zip_source_close(target);
    }
    zip_source_free(target);
    zip_error_fini(&error);
    return bytes;
}

std::string Workbook(std::string_view sheet, std::string_view shared) {
    return StoredZip({
        {"_rels/.rels",
         "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
         "Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook><sheets><sheet r:id=\"s\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"s\" Type=\"x/worksheet\" Target=\"sheet.xml\"/>"
         "<Relationship Id=\"t\" Type=\"x/sharedStrings\" Target=\"strings.xml\"/>"
         "</Relationships>"},
        {"xl/sheet.xml", sheet},
        {"xl/strings.xml", shared},
    });
}

void CheckLine(std::string_view line) {
    if (line.find_first_of("\r\n") != std::string_view::npos ||
        line.size() > numtrail::kMaxListLine || !numtrail::IsUtf8(line))
        __builtin_trap();
}

void ReadWhole(std::string_view bytes) {
    numtrail::ReadListFile(bytes, [](std::string_view line, bool) { CheckLine(line); });
}

std::string Contacts(std::string_view bytes, std::size_t split) {
    numtrail::VcardReader reader;
    std::string text;
    reader.Add(bytes.substr(0, split), text);
    reader.Add(bytes.substr(split), text);
    reader.Finish(text);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0]) {
        case 0:
            ReadWhole(rest);
            break;
        case 1:
            ReadWhole(Workbook(rest, "<sst><si><t>13800138000</t></si></sst>"));
            break;
        case 2:
            ReadWhole(Workbook(
                "<worksheet><sheetData><row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c></row>"
                "</sheetData></worksheet>",
                rest));
            break;
        case 3: {
            const std::string whole = Contacts(rest, rest.size());
            if (Contacts(rest,
                         rest.empty() ? 0 : static_cast<std::uint8_t>(rest[0]) % rest.size()) !=
                whole)
                __builtin_trap();
            ReadWhole(rest);
            break;
        }
        default:
            break;
    }
    return 0;
}

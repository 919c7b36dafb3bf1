#pragma once

#include <xlsxwriter.h>
#include <zip.h>

#include <cstdio>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "support/run_program.h"

namespace numtrail::test {

// A cell of a workbook that a test writes: text, or a number stored as a number.
struct WorkbookCell {
    int row;
    int column;
    std::variant<std::string, double> value;
};

struct WorkbookSheet {
    std::string name;
    std::vector<WorkbookCell> cells;  // in row order, as the writers want them
};

// Writes an .xlsx with libxlsxwriter: strings in the shared table, or, with `constant_memory`,
// inline in the sheets, as the library's two modes write them; with `zip64`, in the container
// our own Excel tables use.
inline bool WriteXlsx(const std::string& path, const std::vector<WorkbookSheet>& sheets,
                      bool constant_memory = false, bool zip64 = false) {
    lxw_workbook_options options = {};
    options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
    options.use_zip64 = zip64 ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (workbook == nullptr) return false;
    for (const WorkbookSheet& sheet : sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheet.name.c_str());
        for (const WorkbookCell& cell : sheet.cells) {
            if (const auto* text = std::get_if<std::string>(&cell.value))
                worksheet_write_string(worksheet, cell.row, cell.column, text->c_str(), nullptr);
            else
                worksheet_write_number(worksheet, cell.row, cell.column,
                                       std::get<double>(cell.value), nullptr);
        }
    }
    return workbook_close(workbook) == LXW_NO_ERROR;
}

// Writes an .xls (BIFF8, Excel 97 to 2003) with Debian's python3-xlwt.
inline bool WriteXls(const std::string& path, const std::vector<WorkbookSheet>& sheets) {
    // The sheets go to the script as JSON.
    const auto quoted = [](const std::string& text) {
        std::string out = "\"";
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
        return out + "\"";
    };
    std::string json = "[";
    for (const WorkbookSheet& sheet : sheets) {
        json += (json.size() > 1 ? ",{" : "{") + std::string("\"name\":") + quoted(sheet.name) +
                ",\"cells\":[";
        for (std::size_t i = 0; i < sheet.cells.size(); ++i) {
            const WorkbookCell& cell = sheet.cells[i];
            char number[64];
            if (const auto* value = std::get_if<double>(&cell.value))
                std::snprintf(number, sizeof number, "%.17g", *value);
            json += (i > 0 ? ",[" : "[") + std::to_string(cell.row) + "," +
                    std::to_string(cell.column) + "," +
                    (std::holds_alternative<double>(cell.value)
                         ? std::string(number)
                         : quoted(std::get<std::string>(cell.value))) +
                    "]";
        }
        json += "]}";
    }
    json += "]";
    const ProgramRun run = RunProgram("/usr/bin/python3",
                                      {"-c",
                                       "import json, sys, xlwt\n"
                                       "book = xlwt.Workbook(encoding='utf-8')\n"
                                       "for sheet in json.load(sys.stdin):\n"
                                       "    s = book.add_sheet(sheet['name'])\n"
                                       "    for row, column, value in sheet['cells']:\n"
                                       "        s.write(row, column, value)\n"
                                       "book.save(sys.argv[1])\n",
                                       path},
                                      json);
    return run.status == 0;
}

// Writes a zip of the given entries (name, bytes), compressed, as any writer of workbooks
// might: for workbooks written by hand, and for containers that hold none.
inline bool WriteZip(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (zip == nullptr) return false;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        if (source == nullptr || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

}  // namespace numtrail::test

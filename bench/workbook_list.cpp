// A workbook as users keep their lists, written and read back for bench/workbook.sh:
//   workbook_list --write FILE --rows N   an .xlsx as a spreadsheet program writes it: shared
//                                          strings, a header row, a name, the number (as a number
//                                          where it is plain digits, otherwise as text written as
//                                          users write it), a note and a city; sheets of at most
//                                          a million rows. Prints the rows that hold a number.
//   workbook_list --read FILE             reads the file whole into memory and through
//                                          ReadListFile, and prints its lines and the lines in
//                                          which a number is found.
//   workbook_list --import FILE           the window's import: the file read by the window's
//                                          file store, made into entries (ReadNumberList) and
//                                          shown in a list box as the pending list shows them;
//                                          prints the entries.
#include <xlsxwriter.h>

#include <QApplication>
#include <QListView>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/entry_cleaning.h"
#include "numbers/list_file.h"
#include "platform/files.h"
#include "realistic_list.h"
#include "results/entry_list_model.h"
#include "results/number_list.h"

namespace {

using namespace numtrail;

constexpr int kRowsPerSheet = 1'000'000;

int Write(const char* file, long rows) {
    // The realistic list's entries, header and line ends dropped.
    const std::string list = bench::RealisticList(static_cast<std::size_t>(rows), 29);
    std::vector<std::string_view> entries;
    for (std::size_t at = list.find("\r\n") + 2; at < list.size();) {
        const std::size_t end = std::min(list.find("\r\n", at), list.size());
        entries.push_back(std::string_view(list).substr(at, end - at));
        at = end + 2;
    }
    static const char* kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周"};
    static const char* kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊",   "军", "洋",
                                   "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "霞", "平"};
    static const char* kNotes[] = {"", "", "", "微信同号", "老客户", "已回访", "勿扰", "VIP"};
    static const char* kCities[] = {"北京", "上海", "广州", "深圳", "杭州", "成都", "武汉", "南京"};

    lxw_workbook* workbook = workbook_new(file);
    lxw_worksheet* sheet = nullptr;
    long holding_a_number = 0;
    int row = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (sheet == nullptr || row > kRowsPerSheet) {
            sheet = workbook_add_worksheet(workbook, nullptr);
            const char* header[] = {"姓名", "手机", "备注", "城市"};
            for (int c = 0; c < 4; ++c) worksheet_write_string(sheet, 0, c, header[c], nullptr);
            row = 1;
        }
        const std::string name = std::string(kSurnames[i % 10]) + kGiven[(i / 10) % 20] +
                                 (i % 7 == 0 ? std::to_string(i % 1000) : "");
        worksheet_write_string(sheet, row, 0, name.c_str(), nullptr);
        const std::string entry(entries[i]);
        const bool plain =
            entry.size() == 11 && entry.find_first_not_of("0123456789") == entry.npos;
        if (plain)
            worksheet_write_number(sheet, row, 1, std::strtod(entry.c_str(), nullptr), nullptr);
        else
            worksheet_write_string(sheet, row, 1, entry.c_str(), nullptr);
        if (CleanEntry(entry).kind == EntryKind::Number) ++holding_a_number;
        if (const char* note = kNotes[i % 8]; *note != '\0')
            worksheet_write_string(sheet, row, 2, note, nullptr);
        worksheet_write_string(sheet, row, 3, kCities[(i / 3) % 8], nullptr);
        ++row;
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) return 1;
    std::printf("%ld\n", holding_a_number);
    return 0;
}

int Read(const char* file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    long lines = 0, numbers = 0;
    const auto refusal = ReadListFile(bytes, [&](std::string_view line, bool cut) {
        ++lines;
        if (!cut && CleanEntry(line).kind == EntryKind::Number) ++numbers;
    });
    if (refusal) {
        std::fprintf(stderr, "%s\n", refusal->Message(file).c_str());
        return 1;
    }
    std::printf("%ld %ld\n", lines, numbers);
    return 0;
}

int Import(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    EntryListModel model;
    QListView list;
    list.setModel(&model);
    list.setUniformItemSizes(true);
    list.resize(161, 208);
    list.show();
    const FileReadResult file = DiskFileStore().ReadAll(QString::fromLocal8Bit(argv[2]));
    if (!file.ok) return 1;
    NumberListRead read = ReadNumberList(file.bytes);
    if (read.refusal) {
        std::fprintf(stderr, "%s\n", read.refusal->Message(argv[2]).c_str());
        return 1;
    }
    model.Replace(std::move(read.entries));
    QCoreApplication::processEvents();
    std::printf("%lld\n", static_cast<long long>(model.rowCount()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--write") == 0 && std::strcmp(argv[3], "--rows") == 0)
        return Write(argv[2], std::atol(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "--read") == 0) return Read(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--import") == 0) return Import(argc, argv);
    std::fprintf(stderr,
                 "usage: workbook_list --write FILE --rows N | --read FILE | --import FILE\n");
    return 2;
}

// numtrail-data dump, show and diff: what data files hold, and how two differ.
#include <array>
#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "attribution/data_file.h"
#include "datatool/columns.h"
#include "datatool/commands.h"
#include "datatool/files.h"
#include "numbers/entry_cleaning.h"

namespace numtrail::datatool {
namespace {

using attribution::DataFile;
using attribution::kFirstPrefix;
using attribution::Record;

// Long outputs are written in pieces of this size: a whole dump would hold some 50 bytes a
// prefix in memory.
constexpr std::size_t kPiece = 1 << 20;

// A CSV field as RFC 4180 writes it.
void AppendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// A record's fields in dump's column order after the prefix. No card type is written 0, the
// byte that says so: an empty cell would take the carriers' segments' card type on the way
// back.
std::array<std::string_view, 5> Fields(const Record& r) {
    return {r.province, r.city, r.area_code, r.postcode,
            r.card_type.empty() ? std::string_view("0") : std::string_view(r.card_type)};
}

std::string Header(std::string_view first) {
    std::string header(first);
    for (Field field :
         {Field::Province, Field::City, Field::AreaCode, Field::Postcode, Field::CardType})
        header.append(",").append(FieldName(field));
    return header + "\r\n";
}

std::string CsvTail(const Record& r) {
    std::string tail;
    for (std::string_view field : Fields(r)) {
        tail += ',';
        AppendField(tail, field);
    }
    return tail + "\r\n";
}

void AppendNumber(std::string& out, std::uint32_t n) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

struct DumpArguments {
    std::string file;
    std::string output = "-";
};

int Dump(const DumpArguments& args) {
    const DataFile file = ReadDataFile(args.file);
    const std::vector<std::uint32_t> answers = AnswerOfEachPrefix(file);
    // Each record's CSV text once; a row is then its prefix and that text.
    std::vector<std::string> tails;
    tails.reserve(file.records.size());
    for (const Record& r : file.records) tails.push_back(CsvTail(r));

    Output output(args.output);
    std::string out;
    out.reserve(kPiece + 256);
    if (!file.version.empty()) out += "# version: " + file.version + "\r\n";
    out += Header(FieldName(Field::Prefix));
    for (std::uint32_t slot = 0; slot < answers.size(); ++slot) {
        if (answers[slot] == kNoAnswer) continue;
        AppendNumber(out, kFirstPrefix + slot);
        out += tails[answers[slot]];
        if (out.size() >= kPiece) {
            output.Write(out);
            out.clear();
        }
    }
    output.Write(out);
    output.Finish();
    return 0;
}

struct ShowArguments {
    std::string file;
    std::vector<std::string> numbers;
};

int Show(const ShowArguments& args) {
    // A mobile number as the import cleans it, or a 7-digit prefix as it stands.
    std::vector<std::uint32_t> prefixes;
    for (const std::string& number : args.numbers) {
        if (number.size() == 7 && number.find_first_not_of("0123456789") == std::string::npos) {
            prefixes.push_back(static_cast<std::uint32_t>(std::stoul(number)));
            continue;
        }
        const CleanedEntry entry = CleanEntry(number);
        if (entry.kind != EntryKind::Number)
            throw BadUsage{"'" + number + "' is no mobile number or 7-digit prefix"};
        prefixes.push_back(
            static_cast<std::uint32_t>(std::stoul(std::string(entry.Number().substr(0, 7)))));
    }
    const DataFile file = ReadDataFile(args.file);
    const std::vector<std::uint32_t> answers = AnswerOfEachPrefix(file);
    std::string out = Header("number,prefix");
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        const std::uint32_t prefix = prefixes[i];
        AppendField(out, args.numbers[i]);
        out += ',';
        AppendNumber(out, prefix);
        const bool held = prefix >= kFirstPrefix && prefix <= attribution::kLastPrefix &&
                          answers[prefix - kFirstPrefix] != kNoAnswer;
        if (held) {
            out += CsvTail(file.records[answers[prefix - kFirstPrefix]]);
        } else {
            out += ",,,,,\r\n";
            std::cerr << args.numbers[i] << ": " << Shown(args.file) << " holds no prefix "
                      << prefix << '\n';
        }
    }
    WriteOutput("-", out);
    return 0;
}

struct DiffArguments {
    std::string old_file;
    std::string new_file;
    std::string output = "-";
};

// The record's fields joined for the rows of a prefix added or removed.
std::string Joined(const Record& r) {
    std::string text;
    for (std::string_view field : Fields(r)) {
        if (!text.empty()) text += '|';
        text.append(field);
    }
    return text;
}

int Diff(const DiffArguments& args) {
    const DataFile old_file = ReadDataFile(args.old_file);
    const DataFile new_file = ReadDataFile(args.new_file);
    const std::vector<std::uint32_t> old_answers = AnswerOfEachPrefix(old_file);
    const std::vector<std::uint32_t> new_answers = AnswerOfEachPrefix(new_file);
    constexpr std::array<Field, 5> kFields = {Field::Province, Field::City, Field::AreaCode,
                                              Field::Postcode, Field::CardType};
    std::size_t added = 0, removed = 0, changed = 0, unchanged = 0;
    std::array<std::size_t, 5> changed_fields = {};

    Output output(args.output);
    std::string out = "prefix,field,old,new\r\n";
    const auto row = [&](std::uint32_t prefix, std::string_view field, std::string_view before,
                         std::string_view after) {
        AppendNumber(out, prefix);
        out.append(",").append(field).append(",");
        AppendField(out, before);
        out += ',';
        AppendField(out, after);
        out += "\r\n";
        if (out.size() >= kPiece) {
            output.Write(out);
            out.clear();
        }
    };
    for (std::uint32_t slot = 0; slot < old_answers.size(); ++slot) {
        const std::uint32_t a = old_answers[slot], b = new_answers[slot];
        const std::uint32_t prefix = kFirstPrefix + slot;
        if (a == kNoAnswer && b == kNoAnswer) continue;
        if (a == kNoAnswer) {
            ++added;
            row(prefix, "record", "", Joined(new_file.records[b]));
        } else if (b == kNoAnswer) {
            ++removed;
            row(prefix, "record", Joined(old_file.records[a]), "");
        } else {
            const auto before = Fields(old_file.records[a]);
            const auto after = Fields(new_file.records[b]);
            bool differs = false;
            for (std::size_t k = 0; k < kFields.size(); ++k) {
                if (before[k] == after[k]) continue;
                differs = true;
                ++changed_fields[k];
                row(prefix, FieldName(kFields[k]), before[k], after[k]);
            }
            ++(differs ? changed : unchanged);
        }
    }
    output.Write(out);
    output.Finish();
    std::cerr << Shown(args.old_file) << " -> " << Shown(args.new_file) << ": "
              << Counted(added, "prefix", "prefixes") << " added, " << removed << " removed, "
              << changed << " changed (";
    for (std::size_t k = 0; k < kFields.size(); ++k)
        std::cerr << (k == 0 ? "" : ", ") << FieldName(kFields[k]) << " " << changed_fields[k];
    std::cerr << "), " << unchanged << " unchanged\n";
    return 0;
}

}  // namespace

void AddReadCommands(CLI::App& app, std::vector<Command>& commands) {
    auto dump_args = std::make_shared<DumpArguments>();
    CLI::App* dump = app.add_subcommand("dump", "write a data file as a CSV table");
    dump->footer(Wrapped(
        "One row per prefix, in order, under the header build reads: prefix, province, city, "
        "area_code, postcode, card_type (0 for none); a first comment line holds the file's "
        "version. UTF-8, RFC 4180, CR LF. build makes the same file from it, byte for byte."));
    dump->add_option("FILE", dump_args->file, "the data file (\"-\": standard input)")->required();
    dump->add_option("-o,--output", dump_args->output,
                     "write the table to FILE, replaced only once complete (default \"-\": "
                     "standard output)")
        ->type_name("FILE");
    commands.push_back({dump, [dump_args] { return Dump(*dump_args); }});

    auto show_args = std::make_shared<ShowArguments>();
    CLI::App* show = app.add_subcommand("show", "what a data file holds for numbers");
    show->footer(Wrapped(
        "A CSV row per NUMBER (a mobile number, written as the import reads it, or a 7-digit "
        "prefix): the number, its prefix and the file's record, as it stands in the file (the "
        "service fills an empty area code or postcode from the city table). A prefix the file "
        "does not hold gets empty fields and a line on standard error."));
    show->add_option("FILE", show_args->file, "the data file (\"-\": standard input)")->required();
    show->add_option("NUMBER", show_args->numbers, "numbers or prefixes")->required();
    commands.push_back({show, [show_args] { return Show(*show_args); }});

    auto diff_args = std::make_shared<DiffArguments>();
    CLI::App* diff = app.add_subcommand("diff", "what changes from one data file to another");
    diff->footer(Wrapped(
        "CSV rows prefix,field,old,new: one per field that differs (province, city, area_code, "
        "postcode, card_type), and for a prefix only one file holds, field \"record\" with "
        "the fields joined by '|' (province|city|area_code|postcode|card_type). A summary line "
        "on standard error counts them. Exit status 0 whether or not the files differ."));
    diff->add_option("OLD", diff_args->old_file, "the old data file")->required();
    diff->add_option("NEW", diff_args->new_file, "the new data file")->required();
    diff->add_option("-o,--output", diff_args->output,
                     "write the rows to FILE (default \"-\": standard output)")
        ->type_name("FILE");
    commands.push_back({diff, [diff_args] { return Diff(*diff_args); }});
}

}  // namespace numtrail::datatool

// numtrail-data build: a data file from prefix tables.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "attribution/data_file_writer.h"
#include "datatool/commands.h"
#include "datatool/files.h"
#include "datatool/table_build.h"

namespace numtrail::datatool {
namespace {

struct BuildArguments {
    std::vector<std::string> tables;
    std::string output;
    std::string columns;
    std::string version;
    bool strict = false;
};

int Build(const BuildArguments& args) {
    std::optional<Columns> columns;
    if (!args.columns.empty()) {
        std::string error;
        columns = Columns::FromList(args.columns, error);
        if (!error.empty()) throw BadUsage{"--columns: " + error};
    }
    TableBuilder builder(BuiltInPlaces(),
                         [](const std::string& line) { std::cerr << line << '\n'; });
    if (columns) builder.SetColumns(*columns);
    for (const std::string& table : args.tables) {
        const std::string bytes = ReadInput(table);
        try {
            builder.AddTable(Shown(table), bytes);
        } catch (const TableError& e) {
            throw std::runtime_error("cannot use " + Shown(table) + ": " + e.what());
        }
    }
    const TableBuilder::Counts& counts = builder.Count();
    if (args.strict && counts.unusable > 0) {
        std::cerr << "numtrail-data: " << Counted(counts.unusable, "row", "rows")
                  << " could not be used; nothing written (--strict)\n";
        return 1;
    }
    const attribution::DataFile file =
        builder.Finish(ChooseDataVersion(args.version, builder.DeclaredVersion()));
    if (file.entries.empty()) {
        std::cerr << "numtrail-data: no row could be used; nothing written\n";
        return 1;
    }
    WriteOutput(args.output, attribution::DataFileBytes(file));

    std::string summary = (args.output == "-" ? "standard output" : args.output) + ": " +
                          Counted(file.entries.size(), "prefix", "prefixes") + " from " +
                          Counted(counts.rows, "row", "rows") + " of " +
                          Counted(args.tables.size(), "table", "tables") + ", version " +
                          file.version;
    if (counts.unusable > 0)
        summary += "; " + Counted(counts.unusable, "row", "rows") + " left out";
    if (counts.unknown_cities > 0)
        summary += "; " + Counted(counts.unknown_cities, "city", "cities") +
                   " the city table does not know, kept as written";
    if (builder.RepeatedPrefixes() > 0)
        summary += "; " + Counted(builder.RepeatedPrefixes(), "prefix", "prefixes") +
                   " given again by a later row, which won";
    std::cerr << summary << '\n';
    return 0;
}

}  // namespace

void AddBuildCommand(CLI::App& app, std::vector<Command>& commands) {
    auto args = std::make_shared<BuildArguments>();
    CLI::App* build = app.add_subcommand("build", "make a data file from prefix tables");
    build->footer(Wrapped(
        "Each TABLE (\"-\": standard input) is a workbook (xlsx or xls; each sheet with its own "
        "header) or a CSV, TSV or text table in UTF-8, UTF-16 or GBK, whose header names its "
        "columns: 号段/前缀/prefix, 省份/省/province, 城市/市/city, "
        "区号/area code, 邮编/postcode, 运营商/卡类型/isp/card type (a title row above it is "
        "skipped). A prefix holds 7 digits, or fewer for a whole block (138 or 13800); a "
        "longer prefix wins over a shorter one, and of two rows with the same prefix the later "
        "wins, also from a later table. Carriers by name (中国移动, 移动, China Mobile, "
        "中国联通, 中国电信, 中国广电, their virtual operators, 虚拟运营商) or by card-type "
        "number (1-8; 0 none); an empty one comes from the carriers' segments. Places are "
        "stored as answers give them (江苏省 常州市 as 江苏 常州, former names as today's); a "
        "missing province or city, area code or postcode is filled from the city table. Rows "
        "that cannot be used are reported as TABLE:LINE: reason, and the rest is built. "
        "dump writes what build reads, with the file's version in a comment line."));
    build->add_option("TABLE", args->tables, "prefix tables")->required()->type_name("TABLE");
    build->add_option("-o,--output", args->output, "the data file (\"-\": standard output)")
        ->required()
        ->type_name("FILE");
    build
        ->add_option("--columns", args->columns,
                     "name the columns by position when a table has no header: "
                     "prefix,province,city,area_code,postcode,card_type or their Chinese "
                     "names, an empty name skipping a column (\"号段,,省份,城市\")")
        ->type_name("LIST");
    build->add_flag("--strict", args->strict,
                    "write nothing and exit 1 when any row cannot be used");
    AddDataVersionOption(*build, args->version);
    commands.push_back({build, [args] { return Build(*args); }});
}

}  // namespace numtrail::datatool

// numtrail-data merge and from-cache: data files made of other data files, and of the online
// answers the cache keeps.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "attribution/data_file_writer.h"
#include "attribution/prefix_cache.h"
#include "datatool/carriers.h"
#include "datatool/commands.h"
#include "datatool/files.h"

namespace numtrail::datatool {
namespace {

using attribution::DataFile;
using attribution::kFirstPrefix;

// Data files laid over one another: a later layer's prefix replaces an earlier one's.
class Layers {
  public:
    Layers() : source_(attribution::kLastPrefix - kFirstPrefix + 1, kNoLayer) {}

    // Adds a layer (its records and entries); returns its number.
    std::size_t Add(const DataFile& layer) {
        const std::size_t number = gave_.size();
        gave_.push_back(0);
        replaced_.push_back(0);
        const auto first_record = static_cast<std::uint32_t>(merged_.records.size());
        merged_.records.insert(merged_.records.end(), layer.records.begin(), layer.records.end());
        const std::vector<std::uint32_t> answers = AnswerOfEachPrefix(layer);
        for (std::uint32_t slot = 0; slot < answers.size(); ++slot) {
            if (answers[slot] == kNoAnswer) continue;
            if (source_[slot] != kNoLayer) {
                --gave_[source_[slot]];
                ++replaced_[number];
            }
            source_[slot] = static_cast<std::uint32_t>(number);
            ++gave_[number];
            merged_.entries.push_back({kFirstPrefix + slot, first_record + answers[slot]});
        }
        return number;
    }

    // The merged file; DataFileBytes keeps the last entry of each prefix.
    DataFile& Merged() { return merged_; }
    // Prefixes the layer answers in the merged file.
    std::size_t Gave(std::size_t layer) const { return gave_[layer]; }
    // Prefixes of an earlier layer the layer replaced.
    std::size_t Replaced(std::size_t layer) const { return replaced_[layer]; }

  private:
    static constexpr std::uint32_t kNoLayer = kNoAnswer;
    DataFile merged_;
    std::vector<std::uint32_t> source_;
    std::vector<std::size_t> gave_;
    std::vector<std::size_t> replaced_;
};

std::string LayerSummary(const Layers& layers, std::size_t layer, const std::string& name) {
    std::string line = name + " gave " + Counted(layers.Gave(layer), "prefix", "prefixes");
    if (layer > 0 && layers.Replaced(layer) > 0)
        line += " (" + std::to_string(layers.Replaced(layer)) + " in place of an earlier file's)";
    return line;
}

void Write(Layers& layers, const std::string& version, const std::string& output) {
    DataFile& merged = layers.Merged();
    merged.version = version;
    WriteOutput(output, attribution::DataFileBytes(merged));
}

struct MergeArguments {
    std::vector<std::string> files;
    std::string output;
    std::string version;
};

int Merge(const MergeArguments& args) {
    if (args.files.size() < 2) throw BadUsage{"merge takes a BASE and at least one OVERLAY"};
    Layers layers;
    std::string last_version;
    for (const std::string& name : args.files) {
        const DataFile file = ReadDataFile(name);
        layers.Add(file);
        last_version = file.version;
    }
    Write(layers, ChooseDataVersion(args.version, last_version), args.output);
    for (std::size_t i = 0; i < args.files.size(); ++i)
        std::cerr << LayerSummary(layers, i, Shown(args.files[i])) << '\n';
    return 0;
}

struct FromCacheArguments {
    std::string cache;
    std::optional<std::string> origin;
    std::string base;
    std::string output;
    std::string version;
};

int FromCache(const FromCacheArguments& args) {
    Layers layers;
    if (!args.base.empty()) layers.Add(ReadDataFile(args.base));

    // The cache's answers as a data file of their own: places as build stores them, the card
    // type by name (an online service may write it its own way) or from the segments.
    DataFile cached;
    std::size_t placed_nothing = 0, unusable = 0;
    const PlaceNames& places = BuiltInPlaces();
    attribution::PrefixCache::OpenToRead(args.cache)
        ->ForEach(
            [&](std::uint32_t prefix, const attribution::CachedPrefix& row) {
                if (prefix < kFirstPrefix || prefix > attribution::kLastPrefix) return;
                const attribution::Record& answer = row.record;
                if (!attribution::PlacesPrefix(&answer)) {
                    ++placed_nothing;
                    return;
                }
                PlaceResult place = places.Normalize(answer.province, answer.city, answer.area_code,
                                                     answer.postcode);
                if (!place.problem.empty()) {
                    ++unusable;
                    std::cerr << Shown(args.cache) << ": prefix " << prefix << ": " << place.problem
                              << '\n';
                    return;
                }
                const CarrierCell carrier = ParseCarrier(answer.card_type).value_or(CarrierCell{});
                place.record.card_type =
                    std::string(attribution::CardTypeText(CardTypeOf(carrier, prefix)));
                cached.entries.push_back(
                    {prefix, static_cast<std::uint32_t>(cached.records.size())});
                cached.records.push_back(std::move(place.record));
            },
            args.origin);
    const std::size_t layer = layers.Add(cached);
    if (layers.Merged().entries.empty()) {
        std::cerr << "numtrail-data: " << Shown(args.cache)
                  << " holds no answer that places a prefix; nothing written\n";
        return 1;
    }
    Write(layers, ChooseDataVersion(args.version, {}), args.output);
    if (!args.base.empty()) std::cerr << LayerSummary(layers, 0, Shown(args.base)) << '\n';
    std::string line = LayerSummary(layers, layer, "the cache " + args.cache);
    if (placed_nothing > 0)
        line +=
            "; " + Counted(placed_nothing, "answer", "answers") + " that placed nothing left out";
    if (unusable > 0) line += "; " + Counted(unusable, "answer", "answers") + " unusable";
    std::cerr << line << '\n';
    return 0;
}

}  // namespace

void AddCombineCommands(CLI::App& app, std::vector<Command>& commands) {
    auto merge_args = std::make_shared<MergeArguments>();
    CLI::App* merge = app.add_subcommand("merge", "lay data files over one another");
    merge->footer(Wrapped(
        "Each prefix is answered by the last file that holds it: corrections go last. The "
        "records stay as each file has them. Standard error tells how many prefixes each file "
        "gave. The version is the last file's unless --data-version gives one."));
    merge->add_option("FILE", merge_args->files, "BASE, then one or more OVERLAY files")
        ->required()
        ->type_name("BASE OVERLAY...");
    merge->add_option("-o,--output", merge_args->output, "the data file (\"-\": standard output)")
        ->required()
        ->type_name("FILE");
    AddDataVersionOption(*merge, merge_args->version);
    commands.push_back({merge, [merge_args] { return Merge(*merge_args); }});

    auto cache_args = std::make_shared<FromCacheArguments>();
    CLI::App* from_cache = app.add_subcommand(
        "from-cache", "make a data file of the online answers that --upstream has kept");
    from_cache->footer(Wrapped(
        "Reads the cache (an SQLite file, which services may go on using) without changing it "
        "and takes every answer that places a prefix, however old; places are stored as build "
        "stores them. A prefix answered by more than one online service takes the latest "
        "answer, unless --origin names the service. With --merge BASE, the answers are laid "
        "over BASE's prefixes."));
    from_cache
        ->add_option("CACHE", cache_args->cache,
                     "the cache, e.g. ~/.cache/Numtrail/prefixes.sqlite")
        ->required()
        ->type_name("CACHE");
    from_cache->add_option("--merge", cache_args->base, "a data file the answers are laid over")
        ->type_name("BASE");
    from_cache
        ->add_option("--origin", cache_args->origin,
                     "only the answers of this online service, as scheme://host:port (\"" +
                         std::string(attribution::kUnknownOrigin) +
                         "\": those kept before the cache named services)")
        ->type_name("ORIGIN");
    from_cache
        ->add_option("-o,--output", cache_args->output, "the data file (\"-\": standard output)")
        ->required()
        ->type_name("FILE");
    AddDataVersionOption(*from_cache, cache_args->version);
    commands.push_back({from_cache, [cache_args] { return FromCache(*cache_args); }});
}

}  // namespace numtrail::datatool

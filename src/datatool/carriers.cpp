#include "datatool/carriers.h"

#include <string>

#include "attribution/data_file_writer.h"
#include "attribution/segments.h"

namespace numtrail::datatool {
namespace {

// Card-type bytes of the data file (see CardTypeText): each carrier, then its virtual form.
struct Carrier {
    std::uint8_t code;
    std::uint8_t virtual_code;
    std::string_view names[4];  // as Folded writes them
};
constexpr Carrier kCarriers[] = {
    {1, 6, {"移动", "mobile", "cmcc", {}}},
    {2, 5, {"联通", "unicom", "cucc", {}}},
    {3, 4, {"电信", "telecom", "ctcc", "chinanet"}},
    {7, 8, {"广电", "broadnet", "cbn", "broadcast"}},
};
constexpr std::string_view kVirtualNames[] = {"虚拟", "虚商", "virtual", "mvno", "转售"};
// Cells that say nothing of the carrier.
constexpr std::string_view kNothing[] = {"未知", "unknown", "none", "-", "无", "null", "n/a"};

// Lower-case ASCII without blanks.
std::string Folded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == ' ' || c == '\t') continue;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

bool Contains(std::string_view text, std::string_view part) {
    return !part.empty() && text.find(part) != std::string_view::npos;
}

}  // namespace

std::optional<CarrierCell> ParseCarrier(std::string_view cell) {
    const std::string text = Folded(cell);
    if (text.empty()) return CarrierCell{};
    for (std::string_view nothing : kNothing)
        if (text == nothing) return CarrierCell{};
    if (text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos) {
        const int code = std::stoi(text);
        if (code > 8) return std::nullopt;
        return CarrierCell{CarrierCell::Kind::Code, static_cast<std::uint8_t>(code)};
    }
    bool is_virtual = false;
    for (std::string_view name : kVirtualNames) is_virtual = is_virtual || Contains(text, name);
    const Carrier* named = nullptr;
    for (const Carrier& carrier : kCarriers) {
        bool found = false;
        for (std::string_view name : carrier.names) found = found || Contains(text, name);
        if (!found) continue;
        if (named != nullptr) return std::nullopt;
        named = &carrier;
    }
    if (named != nullptr)
        return CarrierCell{CarrierCell::Kind::Code, is_virtual ? named->virtual_code : named->code};
    if (is_virtual) return CarrierCell{CarrierCell::Kind::SegmentVirtual, 0};
    return std::nullopt;
}

std::uint8_t CardTypeOf(CarrierCell cell, std::uint32_t prefix) {
    if (cell.kind == CarrierCell::Kind::Code) return cell.code;
    const std::uint8_t segment = attribution::CardTypeCode(attribution::CardTypeForPrefix(prefix));
    if (cell.kind == CarrierCell::Kind::Segment) return segment;
    for (const Carrier& carrier : kCarriers)
        if (segment == carrier.code || segment == carrier.virtual_code) return carrier.virtual_code;
    return 0;
}

}  // namespace numtrail::datatool

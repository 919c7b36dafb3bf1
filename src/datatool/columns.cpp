#include "datatool/columns.h"

#include <string>

namespace numtrail::datatool {
namespace {

constexpr std::array<std::string_view, kFieldCount> kFieldNames = {
    "prefix", "province", "city", "area_code", "postcode", "card_type"};

struct Name {
    std::string_view text;  // as Normalized gives it
    Field field;
};

// Header names seen in prefix tables, written as Normalized leaves them. 归属地 and location
// hold province and city in one cell ("江苏 常州"), which the city column can take apart.
constexpr Name kNames[] = {
    {"号段", Field::Prefix},         {"前缀", Field::Prefix},
    {"prefix", Field::Prefix},       {"号码段", Field::Prefix},
    {"手机号段", Field::Prefix},     {"号码前缀", Field::Prefix},
    {"手机号码段", Field::Prefix},   {"号头", Field::Prefix},
    {"mobileprefix", Field::Prefix}, {"numberprefix", Field::Prefix},
    {"phoneprefix", Field::Prefix},  {"segment", Field::Prefix},
    {"省份", Field::Province},       {"省", Field::Province},
    {"province", Field::Province},   {"所属省份", Field::Province},
    {"归属省份", Field::Province},   {"省份名称", Field::Province},
    {"归属省", Field::Province},     {"所在省份", Field::Province},
    {"城市", Field::City},           {"市", Field::City},
    {"city", Field::City},           {"所属城市", Field::City},
    {"归属城市", Field::City},       {"城市名称", Field::City},
    {"地市", Field::City},           {"所在城市", Field::City},
    {"归属地", Field::City},         {"location", Field::City},
    {"区号", Field::AreaCode},       {"areacode", Field::AreaCode},
    {"电话区号", Field::AreaCode},   {"长途区号", Field::AreaCode},
    {"城市区号", Field::AreaCode},   {"邮编", Field::Postcode},
    {"postcode", Field::Postcode},   {"邮政编码", Field::Postcode},
    {"zip", Field::Postcode},        {"zipcode", Field::Postcode},
    {"postalcode", Field::Postcode}, {"运营商", Field::CardType},
    {"卡类型", Field::CardType},     {"isp", Field::CardType},
    {"cardtype", Field::CardType},   {"号码类型", Field::CardType},
    {"卡号类型", Field::CardType},   {"手机卡类型", Field::CardType},
    {"所属运营商", Field::CardType}, {"运营商名称", Field::CardType},
    {"carrier", Field::CardType},    {"operator", Field::CardType},
    {"类型", Field::CardType},
};

// Lower-case ASCII, without blanks, '_', '-', '.', and without a remark in parentheses at
// the end ("区号（长途）").
std::string Normalized(std::string_view name) {
    for (std::string_view open : {"(", "\xEF\xBC\x88" /* （ */}) {
        const std::size_t at = name.find(open);
        if (at != std::string_view::npos && at > 0) name = name.substr(0, at);
    }
    std::string out;
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '_' || c == '-' || c == '.') continue;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    // The ideographic space.
    for (std::size_t at; (at = out.find("\xE3\x80\x80")) != std::string::npos;) out.erase(at, 3);
    return out;
}

}  // namespace

std::string_view FieldName(Field field) { return kFieldNames[static_cast<std::size_t>(field)]; }

std::optional<Field> FieldOfName(std::string_view name) {
    const std::string key = Normalized(name);
    for (const Name& known : kNames)
        if (known.text == key) return known.field;
    return std::nullopt;
}

std::optional<Columns> Columns::FromHeader(std::span<const std::string_view> cells) {
    Columns columns;
    std::size_t named = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::optional<Field> field = FieldOfName(cells[i]);
        if (!field || columns.Has(*field)) continue;
        columns.at_[static_cast<std::size_t>(*field)] = i;
        ++named;
    }
    if (!columns.Has(Field::Prefix) || named < 2) return std::nullopt;
    return columns;
}

Columns Columns::FromList(std::string_view list, std::string& error) {
    Columns columns;
    std::size_t i = 0;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        if (!Normalized(name).empty()) {
            const std::optional<Field> field = FieldOfName(name);
            if (!field) {
                error = "'" + std::string(name) + "' names no column (prefix, province, city, " +
                        "area_code, postcode, card_type or their Chinese names)";
                return {};
            }
            if (columns.Has(*field)) {
                error = "two columns are named " + std::string(FieldName(*field));
                return {};
            }
            columns.at_[static_cast<std::size_t>(*field)] = i;
        }
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
        ++i;
    }
    if (!columns.Has(Field::Prefix)) {
        error = "no column is named prefix (号段)";
        return {};
    }
    return columns;
}

}  // namespace numtrail::datatool

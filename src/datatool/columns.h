#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace numtrail::datatool {

// The columns of a prefix table, in the order dump writes them.
enum class Field { Prefix, Province, City, AreaCode, Postcode, CardType };
inline constexpr std::size_t kFieldCount = 6;

// The name dump writes in its header: prefix, province, city, area_code, postcode, card_type.
std::string_view FieldName(Field field);

// The field a header cell names, in Chinese or English (号段, 前缀, prefix, 省份, 省, province,
// 城市, 市, city, 区号, area code, 邮编, postcode, 运营商, 卡类型, isp, card type and their
// like), or nullopt. Case, blanks, '_' and '-' do not matter.
std::optional<Field> FieldOfName(std::string_view name);

// Where each field's column is in a row.
class Columns {
  public:
    static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

    std::size_t At(Field field) const { return at_[static_cast<std::size_t>(field)]; }
    bool Has(Field field) const { return At(field) != kAbsent; }
    // The field's cell in a row; empty when the row is too short or the field has no column.
    std::string_view Cell(std::span<const std::string_view> cells, Field field) const {
        const std::size_t at = At(field);
        return at < cells.size() ? cells[at] : std::string_view();
    }

    // The columns a header row names, the first column of a field counting; nullopt unless it
    // names a prefix column and at least one other.
    static std::optional<Columns> FromHeader(std::span<const std::string_view> cells);
    // Columns named by position, as for --columns: "prefix,province,,city" (an empty name
    // skips a column). Sets `error` (and gives no prefix column) for an unknown name, a field
    // named twice or no prefix.
    static Columns FromList(std::string_view list, std::string& error);

  private:
    std::array<std::size_t, kFieldCount> at_ = {kAbsent, kAbsent, kAbsent,
                                                kAbsent, kAbsent, kAbsent};
};

}  // namespace numtrail::datatool

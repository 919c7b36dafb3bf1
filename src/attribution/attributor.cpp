#include "attribution/attributor.h"

namespace numtrail::attribution {

Record RowOf(const Number& number, const Answer& answer) {
    Record row = answer.record ? *answer.record : Record{};
    row.number = std::string(number.Digits());
    row.kind = number.kind;
    row.status = answer.status;
    return row;
}

}  // namespace numtrail::attribution

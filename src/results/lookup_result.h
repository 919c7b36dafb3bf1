#pragma once

#include <QString>

namespace numtrail {

// The content of one result row, as the lookup writes it and the list operations, the export
// and the clipboard copy read it back.
struct LookupResult {
    QString number;
    QString province;
    QString city;
    QString area_code;
    QString postcode;
    QString card_type;
};

}  // namespace numtrail

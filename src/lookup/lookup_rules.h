#pragma once

#include <QString>
#include <array>

#include "attribution/number.h"
#include "attribution/record.h"

namespace numtrail {

enum class NumberCheck { Ok, WrongLength, NotDigits };

// The digits of a landline or a 400/800 number, as the recognizer gives them (01062345678,
// 075586001234, 4008001234), pass. Anything else is checked as a mobile number: length first
// (exactly 11 characters), then digits (ASCII 0 to 9 only: full-width and other Unicode
// digits are not digits here).
NumberCheck CheckNumber(const QString& n);

// The number an entry that passed the check stands for: eleven ASCII digits starting with 1
// are a mobile number, as the check has always taken them; the digits of a landline or a
// 400/800 number are that number; anything else is no number (an 11-digit text such as
// 00000000000 that passes the check and that no data attributes).
attribution::Number EntryNumber(const QString& n);

// The attribution endpoint followed by the query for n (see attribution/protocol.h).
QString AttributionUrl(const QString& endpoint, const QString& n);

// The service refuses for now when its answer holds the refusal marker anywhere.
bool IsRateLimited(const QString& answer);

// The lookup work area: slot 0 holds the raw answer, fields 2k-1 and 2k the text after
// the k-th key and its value (k = 1 card type, 2 province, 3 city, 4 area code,
// 5 postcode). Slots 11 to 30 are not used by the lookup.
class QuerySlots {
  public:
    static constexpr int kCount = 31;
    QString& operator[](int i) { return slots_.at(static_cast<std::size_t>(i)); }
    const QString& operator[](int i) const { return slots_.at(static_cast<std::size_t>(i)); }

    // Empties fields 0 to 20; 21 to 30 are left alone.
    void ql();

  private:
    std::array<QString, kCount> slots_;
};

// Cuts the five fields out of an answer as the protocol's reading does (see CutAnswer): for
// each key the first `Key":"` counts, the text runs to the next occurrence of the same
// pattern (or the end), and the value is that text up to its first double quote. No
// unescaping and no trimming. Element i of the result is slot i + 1.
std::array<QString, 10> ParseAnswer(const QString& answer);

// The fields of a parsed answer, fields 1 to 10, for the number n.
attribution::Record ResultFromSlots(const QString& n, const std::array<QString, 10>& fields);

}  // namespace numtrail

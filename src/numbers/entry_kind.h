#pragma once

namespace numtrail {

// What one line of a number list, or one number typed by the user, comes to.
enum class EntryKind {
    Number,     // holds a number
    AsItStood,  // holds a digit but no number; kept as it stood, so the user is told why
    NoDigits,   // blank, or a header such as "手机号": dropped like an empty line
};

}  // namespace numtrail

#pragma once

#include "attribution/number.h"
#include "attribution/record.h"

namespace numtrail::attribution {

// What an answer source says about one number.
struct Answer {
    // What is known of the number's prefix (its number field is empty); null when nothing
    // attributes it (status Unassigned or BadFormat). Lives as long as the source.
    const Record* record = nullptr;
    Status status = Status::Unassigned;
    // An online service was asked and refuses for now: whoever asked should pass the refusal
    // on (the window's batch stops). `record` is then what local data says.
    bool refused = false;
};

// Where answers come from. The window, the service and numtrail-lookup ask the same local
// source (LocalAttributor); an online service, through its cache, is composed over it
// (OnlineAttributor). Implementations are safe to ask from many threads at once.
class Attributor {
  public:
    virtual ~Attributor() = default;
    // May block its caller when the source asks an online service.
    virtual Answer Attribute(const Number& number) = 0;
    // Whether answering the number may block (an online request): a caller that must keep
    // answering, as a window must, asks such numbers on another thread.
    virtual bool MayBlock(const Number&) const { return false; }
};

// The record of a number as a row shows it: the answer's fields with the number, its kind
// and the status filled in. Without a record, the fields stay empty.
Record RowOf(const Number& number, const Answer& answer);

}  // namespace numtrail::attribution

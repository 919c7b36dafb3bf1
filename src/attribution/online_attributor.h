#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "attribution/attributor.h"
#include "attribution/local_attributor.h"
#include "attribution/upstream_resolver.h"

namespace numtrail::attribution {

// Local data first; a mobile number it does not place (no answer, or 未知) is asked of an
// online service through the upstream resolver and its cache. An online answer with a place
// wins; when the service places nothing, fails or times out, the local answer stands; when it
// refuses, the local answer comes back marked refused. Blocks its caller while it asks.
class OnlineAttributor final : public Attributor {
  public:
    // The online side: what the resolver says about a number's prefix.
    using Resolve = std::function<UpstreamAnswer(std::string_view number)>;

    OnlineAttributor(const LocalAttributor& local, UpstreamResolver& resolver);
    OnlineAttributor(const LocalAttributor& local, Resolve resolve);

    Answer Attribute(const Number& number) override;
    bool MayBlock(const Number& number) const override;

  private:
    const Record* Keep(const Record& record);

    const LocalAttributor& local_;
    Resolve resolve_;
    // The online records answered so far, shared between prefixes with the same answer, so
    // that what an answer points to lives as long as this source; deque keeps addresses.
    std::mutex kept_mutex_;
    std::deque<Record> kept_;
    std::map<std::string, const Record*> kept_index_;  // by the record's fields
};

}  // namespace numtrail::attribution

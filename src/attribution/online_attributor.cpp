#include "attribution/online_attributor.h"

namespace numtrail::attribution {

OnlineAttributor::OnlineAttributor(const LocalAttributor& local, UpstreamResolver& resolver)
    : OnlineAttributor(local,
                       [&resolver](std::string_view number) { return resolver.Resolve(number); }) {}

OnlineAttributor::OnlineAttributor(const LocalAttributor& local, Resolve resolve)
    : local_(local), resolve_(std::move(resolve)) {}

Answer OnlineAttributor::Attribute(const Number& number) {
    Answer answer = local_.AnswerOf(local_.Find(number));
    // The online service answers mobile prefixes only.
    if (number.kind != NumberKind::Mobile || answer.status == Status::Ok) return answer;
    UpstreamAnswer online;
    try {
        online = resolve_(number.Digits());
    } catch (...) {
        // A failing online side means the local answer, as a failed request does.
        return answer;
    }
    switch (online.kind) {
        case UpstreamAnswer::Kind::Placed:
            if (online.record && PlacesPrefix(online.record.get()))
                return {Keep(*online.record), Status::Ok};
            break;
        case UpstreamAnswer::Kind::Refused:
            answer.refused = true;
            break;
        case UpstreamAnswer::Kind::NotPlaced:
        case UpstreamAnswer::Kind::Failed:
            break;
    }
    return answer;
}

bool OnlineAttributor::MayBlock(const Number& number) const {
    return number.kind == NumberKind::Mobile && local_.StatusOf(local_.Find(number)) != Status::Ok;
}

const Record* OnlineAttributor::Keep(const Record& record) {
    std::string key;
    for (const std::string* field :
         {&record.province, &record.city, &record.postcode, &record.area_code, &record.card_type}) {
        key += *field;
        key += '\0';
    }
    std::lock_guard lock(kept_mutex_);
    auto found = kept_index_.find(key);
    if (found == kept_index_.end()) {
        kept_.push_back(record);
        found = kept_index_.emplace(std::move(key), &kept_.back()).first;
    }
    return found->second;
}

}  // namespace numtrail::attribution

#include "service/query.h"

#include "attribution/protocol.h"

namespace numtrail::service {

Target SplitTarget(std::string_view target) {
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos) return {target, {}};
    return {target.substr(0, question), target.substr(question + 1)};
}

Reply HandleQuery(std::string_view target, attribution::Attributor& attributor,
                  std::string_view version) {
    const auto [path, query] = SplitTarget(target);
    if (path == attribution::kManifestPath)
        return {200, std::string(attribution::kTextContentType),
                attribution::ManifestText(version)};
    const attribution::QueryRequest request = attribution::ReadQuery(query);
    const attribution::Answer answer =
        attributor.Attribute(attribution::MobileNumber(request.number));
    if (answer.refused) return RefusalReply();
    return {200, std::string(attribution::kAnswerContentType),
            attribution::CallbackAnswer(request.callback, request.number, answer.record)};
}

Reply RefusalReply() {
    return {503, std::string(attribution::kRefusalContentType), attribution::RefusalPage()};
}

}  // namespace numtrail::service

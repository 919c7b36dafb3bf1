#include "service/query.h"

#include "attribution/protocol.h"
#include "numbers/recognizer.h"

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
    // The number is recognised as in a list (mobile, landline or 400/800, with fillers and text
    // around it); the answer still echoes it as the query gave it.
    const FirstNumber asked = NumberRecognizer::BuiltIn().First(request.number);
    const attribution::Answer answer = attributor.Attribute(
        asked.kind == EntryKind::Number ? asked.found.number : attribution::Number{});
    if (answer.refused) return RefusalReply();
    return {200, std::string(attribution::kAnswerContentType),
            attribution::CallbackAnswer(request.callback, request.number, answer.record)};
}

Reply RefusalReply() {
    return {503, std::string(attribution::kRefusalContentType), attribution::RefusalPage()};
}

}  // namespace numtrail::service

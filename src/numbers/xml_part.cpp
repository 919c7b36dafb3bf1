#include "numbers/xml_part.h"

#include <cstring>

namespace numtrail::xlsx {
namespace {

// Workbook parts nest a dozen deep at most (a rich text run in a cell).
constexpr int kMaxDepth = 64;
// A tag with its attributes is under a kilobyte in any workbook; text is given as it comes.
constexpr std::uint64_t kMaxToken = 1 << 20;

std::string_view LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

}  // namespace

std::string_view Attribute(const char** attributes, std::string_view name) {
    for (; attributes[0] != nullptr; attributes += 2)
        if (LocalName(attributes[0]) == name) return attributes[1];
    return {};
}

XmlPart::XmlPart(std::string name, XmlHandler& handler)
    : name_(std::move(name)), handler_(handler), parser_(XML_ParserCreate(nullptr)) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    XML_SetStartDoctypeDeclHandler(parser_, OnDoctype);
}

XmlPart::~XmlPart() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
}

void XmlPart::Stop(ListFileRefusal refusal) {
    if (stopped_) return;
    stopped_ = true;
    stop_ = std::move(refusal);
    XML_StopParser(parser_, XML_FALSE);
}

bool XmlPart::Parse(std::size_t size, ListFileRefusal& refusal) {
    if (parser_ == nullptr) {
        refusal = {ListFileRefusal::Why::TooLarge, "no memory to read " + name_};
        return false;
    }
    fed_ += size;
    if (XML_ParseBuffer(parser_, static_cast<int>(size), size == 0) != XML_STATUS_OK) {
        if (stopped_) {
            refusal = stop_;
        } else {
            refusal = {ListFileRefusal::Why::Damaged,
                       name_ + " is no well-formed XML (line " +
                           std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                           XML_ErrorString(XML_GetErrorCode(parser_)) + ")"};
        }
        return false;
    }
    if (fed_ - last_event_ > kMaxToken) {
        refusal = {ListFileRefusal::Why::Damaged,
                   name_ + " holds a tag or a name of more than 1 MiB"};
        return false;
    }
    return true;
}

void XmlPart::OnStart(void* self, const char* name, const char** attributes) {
    auto& part = *static_cast<XmlPart*>(self);
    part.last_event_ = static_cast<std::uint64_t>(XML_GetCurrentByteIndex(part.parser_));
    if (++part.depth_ > kMaxDepth) {
        part.Stop({ListFileRefusal::Why::Damaged, part.name_ + " nests deeper than a workbook"});
        return;
    }
    part.handler_.Start(LocalName(name), attributes);
}

void XmlPart::OnEnd(void* self, const char* name) {
    auto& part = *static_cast<XmlPart*>(self);
    part.last_event_ = static_cast<std::uint64_t>(XML_GetCurrentByteIndex(part.parser_));
    --part.depth_;
    part.handler_.End(LocalName(name));
}

void XmlPart::OnText(void* self, const char* text, int size) {
    auto& part = *static_cast<XmlPart*>(self);
    part.last_event_ = static_cast<std::uint64_t>(XML_GetCurrentByteIndex(part.parser_));
    part.handler_.Text({text, static_cast<std::size_t>(size)});
}

void XmlPart::OnDoctype(void* self, const char*, const char*, const char*, int) {
    auto& part = *static_cast<XmlPart*>(self);
    part.Stop({ListFileRefusal::Why::Damaged,
               part.name_ + " declares a document type, which no workbook does"});
}

}  // namespace numtrail::xlsx

#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/list_file.h"
#include "numbers/list_text.h"

namespace numtrail::xlsx {

struct XmlAttribute {
    std::string_view name;  // without its namespace prefix
    std::string_view value;
};
using XmlAttributes = std::span<const XmlAttribute>;

// The value of an attribute, by local name; empty when absent.
std::string_view Attribute(XmlAttributes attributes, std::string_view name);

// What a workbook's XML part is read into. Names come without their namespace prefix ("c" for
// "x:c"): parts are matched by their local names, as every writer of workbooks names them.
// Text may come in several calls.
class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, XmlAttributes attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
};

// Reads the XML of one workbook part as it is unpacked, into a handler. A reader of our own:
// the sheets of a large workbook are hundreds of megabytes of a few elements, and a general
// XML library spent most of the time of reading them on what those parts never hold. It reads
// elements, attributes, text, character and the predefined entity references, CDATA, comments
// and processing instructions, in UTF-8 or UTF-16 with a byte order mark; it checks that the
// elements nest and close; it refuses a document type (no workbook part has one, and entity
// expansion attacks live there), nesting deeper than any workbook part, an entity it does not
// know and a single tag longer than any workbook part needs, which it would otherwise have to
// keep whole in memory.
class XmlPart {
  public:
    XmlPart(std::string name, XmlHandler& handler);

    // A buffer for the next `size` bytes of the part, then Parse() with how many were put in
    // (0 at the end). False with `refusal` set when the part is no well-formed XML or went past
    // the bounds above, or when the handler stopped it.
    char* Buffer(std::size_t size);
    bool Parse(std::size_t size, ListFileRefusal& refusal);

    // For a handler: stops the parse, which then fails with this refusal.
    void Stop(ListFileRefusal refusal);

  private:
    // Reads the tokens that are whole in buffer_; returns where the first incomplete one
    // starts.
    std::size_t Tokens(bool at_end);
    // A start tag at p; the end of it, nullptr when it is not all there yet.
    const char* StartTag(const char* p, const char* end);
    const char* EndTag(const char* p, const char* end);
    void GiveText(std::string_view text);
    // Text with its references replaced, in `out`; false when a reference is unknown.
    bool Decode(std::string_view text, std::string& out);
    void Fail(std::string what);

    std::string name_;
    XmlHandler& handler_;
    std::string buffer_;
    std::size_t held_ = 0;  // bytes at the start of buffer_ that were not read yet
    bool started_ = false;  // the byte order mark, if any, was read
    std::optional<Utf16Decoder> utf16_;
    std::vector<std::string> open_;  // the elements open, for their end tags to match
    bool root_seen_ = false;
    std::vector<XmlAttribute> attributes_;
    std::deque<std::string> values_;  // attribute values with references replaced
    std::string text_;
    bool stopped_ = false;
    ListFileRefusal stop_;
};

}  // namespace numtrail::xlsx

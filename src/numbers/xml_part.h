#pragma once

#include <expat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "numbers/list_file.h"

namespace numtrail::xlsx {

// What a workbook's XML part is read into. Names come without their namespace prefix ("c" for
// "x:c"): parts are matched by their local names, as every writer of workbooks names them.
class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, const char** attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
};

// The value of an attribute, by local name; empty when absent.
std::string_view Attribute(const char** attributes, std::string_view name);

// An expat parser over one part, guarded against what a made-up part could do to it: a
// document type (no workbook part has one, and entity expansion lives there) stops it, as do
// nesting deeper than any workbook part and a single token (a tag, a name) longer than any
// workbook part needs, which expat would otherwise keep whole in memory.
class XmlPart {
  public:
    XmlPart(std::string name, XmlHandler& handler);
    ~XmlPart();
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    // A buffer for the next `size` bytes of the part, then Parse() with how many were put in
    // (0 at the end). False with `refusal` set when the part is no well-formed XML or went past
    // the bounds above, or when the handler stopped it.
    void* Buffer(std::size_t size) { return XML_GetBuffer(parser_, static_cast<int>(size)); }
    bool Parse(std::size_t size, ListFileRefusal& refusal);

    // For a handler: stops the parse, which then fails with this refusal.
    void Stop(ListFileRefusal refusal);

  private:
    static void OnStart(void* self, const char* name, const char** attributes);
    static void OnEnd(void* self, const char* name);
    static void OnText(void* self, const char* text, int size);
    static void OnDoctype(void* self, const char*, const char*, const char*, int);

    std::string name_;
    XmlHandler& handler_;
    XML_Parser parser_;
    int depth_ = 0;
    std::uint64_t fed_ = 0;
    std::uint64_t last_event_ = 0;  // where the latest event began
    bool stopped_ = false;
    ListFileRefusal stop_;
};

}  // namespace numtrail::xlsx

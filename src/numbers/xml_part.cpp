#include "numbers/xml_part.h"

#include <charconv>
#include <cstring>

namespace numtrail::xlsx {
namespace {

using Why = ListFileRefusal::Why;

// Workbook parts nest a dozen deep at most (a rich text run in a cell).
constexpr std::size_t kMaxDepth = 64;
// A tag with its attributes is under a kilobyte in any workbook; text is given as it comes.
constexpr std::size_t kMaxToken = 1 << 20;
// The longest reference: "&#x10FFFF;".
constexpr std::size_t kMaxReference = 10;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view LocalName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Where `what` starts in [p, end), or nullptr.
const char* Find(const char* p, const char* end, std::string_view what) {
    const std::string_view text(p, static_cast<std::size_t>(end - p));
    const std::size_t at = text.find(what);
    return at == std::string_view::npos ? nullptr : p + at;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string_view Attribute(XmlAttributes attributes, std::string_view name) {
    for (const XmlAttribute& attribute : attributes)
        if (attribute.name == name) return attribute.value;
    return {};
}

XmlPart::XmlPart(std::string name, XmlHandler& handler)
    : name_(std::move(name)), handler_(handler) {}

void XmlPart::Stop(ListFileRefusal refusal) {
    if (stopped_) return;
    stopped_ = true;
    stop_ = std::move(refusal);
}

void XmlPart::Fail(std::string what) {
    Stop({Why::Damaged, name_ + " is no well-formed XML: " + std::move(what)});
}

char* XmlPart::Buffer(std::size_t size) {
    buffer_.resize(held_ + size);
    return buffer_.data() + held_;
}

bool XmlPart::Parse(std::size_t size, ListFileRefusal& refusal) {
    buffer_.resize(held_ + size);
    const bool at_end = size == 0;
    std::size_t fresh = held_;  // where the bytes that came now begin
    if (!started_) {
        if (buffer_.size() < 3 && !at_end) {
            held_ = buffer_.size();
            return true;
        }
        started_ = true;
        fresh = 0;
        if (buffer_.starts_with("\xEF\xBB\xBF")) {
            buffer_.erase(0, 3);
        } else if (buffer_.starts_with("\xFF\xFE") || buffer_.starts_with("\xFE\xFF")) {
            utf16_.emplace(buffer_[0] == '\xFE');
            buffer_.erase(0, 2);
        }
    }
    if (utf16_) {
        std::string converted(utf16_->Convert(std::string_view(buffer_).substr(fresh)));
        if (at_end) converted += utf16_->Finish();
        buffer_.replace(fresh, std::string::npos, converted);
    }
    const std::size_t read = Tokens(at_end);
    if (stopped_) {
        refusal = stop_;
        return false;
    }
    buffer_.erase(0, read);
    held_ = buffer_.size();
    if (held_ > kMaxToken) {
        refusal = {Why::Damaged, name_ + " holds a tag of more than 1 MiB"};
        return false;
    }
    if (at_end && (held_ != 0 || !open_.empty() || !root_seen_)) {
        refusal = {Why::Damaged, name_ + " is no well-formed XML: it ends before its elements do"};
        return false;
    }
    return true;
}

std::size_t XmlPart::Tokens(bool at_end) {
    const char* const begin = buffer_.data();
    const char* const end = begin + buffer_.size();
    const char* p = begin;
    while (p < end && !stopped_) {
        if (*p != '<') {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', end - p));
            if (lt == nullptr) {
                // Text goes on past what has come: give it, but for a reference that may
                // be cut.
                const char* stop = end;
                if (!at_end) {
                    const char* amp = end - std::min<std::size_t>(kMaxReference, end - p);
                    for (const char* q = end; q > amp; --q)
                        if (q[-1] == '&') {
                            stop = q - 1;
                            break;
                        }
                }
                GiveText({p, static_cast<std::size_t>(stop - p)});
                p = stop;
                break;
            }
            GiveText({p, static_cast<std::size_t>(lt - p)});
            p = lt;
            continue;
        }
        if (end - p < 2) break;
        const char* next = nullptr;
        if (p[1] == '/') {
            next = EndTag(p, end);
        } else if (p[1] == '?') {
            if (const char* close = Find(p + 2, end, "?>")) next = close + 2;
        } else if (p[1] == '!') {
            const std::string_view rest(p, static_cast<std::size_t>(end - p));
            if (rest.starts_with("<!--")) {
                if (const char* close = Find(p + 4, end, "-->")) next = close + 3;
            } else if (rest.starts_with("<![CDATA[")) {
                if (const char* close = Find(p + 9, end, "]]>")) {
                    if (!open_.empty())
                        handler_.Text({p + 9, static_cast<std::size_t>(close - p - 9)});
                    next = close + 3;
                }
            } else if (rest.size() >= 9 || at_end) {
                Stop({Why::Damaged, name_ + " declares a document type, which no workbook does"});
            }
        } else {
            next = StartTag(p, end);
        }
        if (next == nullptr) break;  // not all there yet, or stopped
        p = next;
    }
    if (at_end && p != end && !stopped_) Fail("it ends inside a tag");
    return static_cast<std::size_t>(p - begin);
}

void XmlPart::GiveText(std::string_view text) {
    if (text.empty() || open_.empty()) return;  // outside the root only blanks may stand
    if (text.find('&') == std::string_view::npos) {
        handler_.Text(text);
        return;
    }
    text_.clear();
    if (Decode(text, text_)) handler_.Text(text_);
}

bool XmlPart::Decode(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string_view::npos || semicolon - i > kMaxReference) {
            Fail("a lone \"&\"");
            return false;
        }
        const std::string_view reference = text.substr(i + 1, semicolon - i - 1);
        i = semicolon;
        if (reference == "lt") {
            out += '<';
        } else if (reference == "gt") {
            out += '>';
        } else if (reference == "amp") {
            out += '&';
        } else if (reference == "quot") {
            out += '"';
        } else if (reference == "apos") {
            out += '\'';
        } else if (reference.starts_with('#')) {
            const bool hex = reference.size() > 1 && (reference[1] == 'x' || reference[1] == 'X');
            const std::string_view digits = reference.substr(hex ? 2 : 1);
            std::uint32_t code = 0;
            const auto [after, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (ec != std::errc() || after != digits.data() + digits.size() || code == 0 ||
                code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                Fail("a character reference to no character");
                return false;
            }
            AppendUtf8(code, out);
        } else {
            Fail("a reference to an entity it does not declare");
            return false;
        }
    }
    return true;
}

const char* XmlPart::EndTag(const char* p, const char* end) {
    const char* close = static_cast<const char*>(std::memchr(p, '>', end - p));
    if (close == nullptr) return nullptr;
    std::string_view name(p + 2, static_cast<std::size_t>(close - p - 2));
    while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
    if (open_.empty() || open_.back() != name) {
        Fail("an end tag that closes no element");
        return nullptr;
    }
    open_.pop_back();
    handler_.End(LocalName(name));
    return close + 1;
}

const char* XmlPart::StartTag(const char* p, const char* end) {
    const char* q = p + 1;
    while (q < end && !IsSpace(*q) && *q != '/' && *q != '>') ++q;
    if (q == end) return nullptr;
    const std::string_view name(p + 1, static_cast<std::size_t>(q - p - 1));
    if (name.empty()) {
        Fail("a tag without a name");
        return nullptr;
    }
    attributes_.clear();
    std::size_t decoded = 0;
    bool empty_element = false;
    for (;;) {
        while (q < end && IsSpace(*q)) ++q;
        if (q == end) return nullptr;
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/') {
            if (q + 1 == end) return nullptr;
            if (q[1] != '>') {
                Fail("a \"/\" inside a tag");
                return nullptr;
            }
            q += 2;
            empty_element = true;
            break;
        }
        const char* attribute = q;
        while (q < end && !IsSpace(*q) && *q != '=' && *q != '>' && *q != '/') ++q;
        const std::string_view attribute_name(attribute, static_cast<std::size_t>(q - attribute));
        while (q < end && IsSpace(*q)) ++q;
        if (q + 1 >= end) return nullptr;
        if (*q != '=') {
            Fail("an attribute without a value");
            return nullptr;
        }
        ++q;
        while (q < end && IsSpace(*q)) ++q;
        if (q == end) return nullptr;
        if (*q != '"' && *q != '\'') {
            Fail("an attribute value without quotes");
            return nullptr;
        }
        const char* close = static_cast<const char*>(std::memchr(q + 1, *q, end - q - 1));
        if (close == nullptr) return nullptr;
        std::string_view value(q + 1, static_cast<std::size_t>(close - q - 1));
        if (value.find('&') != std::string_view::npos) {
            if (decoded == values_.size()) values_.emplace_back();
            std::string& out = values_[decoded++];
            out.clear();
            if (!Decode(value, out)) return nullptr;
            value = out;
        }
        attributes_.push_back({LocalName(attribute_name), value});
        q = close + 1;
    }
    if (open_.empty() && root_seen_) {
        Fail("a second root element");
        return nullptr;
    }
    root_seen_ = true;
    if (open_.size() >= kMaxDepth) {
        Stop({Why::Damaged, name_ + " nests deeper than a workbook"});
        return nullptr;
    }
    const std::string_view local = LocalName(name);
    if (!empty_element) open_.emplace_back(name);
    handler_.Start(local, attributes_);
    if (empty_element && !stopped_) handler_.End(local);
    return q;
}

}  // namespace numtrail::xlsx

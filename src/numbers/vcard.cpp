#include "numbers/vcard.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"

namespace numtrail {
namespace {

// A property's raw text is kept up to this: quoted-printable takes three bytes a byte, so a
// value cut here still decodes past kMaxListLine and is given cut.
constexpr std::size_t kMaxProperty = 4 * kMaxListLine;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

bool StartsIgnoringCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

// Where the property's name and parameters end: its first colon outside double quotes.
std::size_t ValueStart(std::string_view property) {
    bool quoted = false;
    for (std::size_t i = 0; i < property.size(); ++i) {
        if (property[i] == '"') quoted = !quoted;
        if (property[i] == ':' && !quoted) return i;
    }
    return std::string_view::npos;
}

struct Head {
    std::string_view name;  // without its group ("item1.TEL" is TEL)
    bool quoted_printable = false;
    std::string_view charset;
};

// Reads "group.NAME;PARAM=VALUE;PARAM:" up to the colon.
Head ReadHead(std::string_view head) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] == '"') quoted = !quoted;
        if (i == head.size() || (head[i] == ';' && !quoted)) {
            parts.push_back(head.substr(from, i - from));
            from = i + 1;
        }
    }
    Head result;
    result.name = parts[0].substr(parts[0].rfind('.') + 1);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        const std::size_t equals = part.find('=');
        const std::string_view key = part.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? part : part.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (EqualsIgnoringCase(value, "QUOTED-PRINTABLE") &&
            (equals == std::string_view::npos || EqualsIgnoringCase(key, "ENCODING")))
            result.quoted_printable = true;
        else if (equals != std::string_view::npos && EqualsIgnoringCase(key, "CHARSET"))
            result.charset = value;
    }
    return result;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// The escapes of vCard 3.0 and 4.0 ("\,", "\;", "\\", "\n"), undone.
std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' || next == 'N' ? ' ' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsCodePage936(std::string_view charset) {
    for (const std::string_view name : {"GB2312", "GBK", "GB18030", "CP936", "x-gbk", "EUC-CN"})
        if (EqualsIgnoringCase(charset, name)) return true;
    return false;
}

}  // namespace

void VcardReader::Add(std::string_view piece, std::string& text) {
    if (!started_) {
        // The longest byte order mark has three bytes.
        start_ += piece;
        if (start_.size() < 3) return;
        started_ = true;
        std::string start = std::move(start_);
        start_.clear();
        std::string_view bytes = start;
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            bytes.remove_prefix(3);
        } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
            utf16_.emplace(bytes[0] == '\xFE');
            bytes.remove_prefix(2);
        }
        Cut(utf16_ ? utf16_->Convert(bytes) : bytes, text);
        return;
    }
    Cut(utf16_ ? utf16_->Convert(piece) : piece, text);
}

void VcardReader::Finish(std::string& text) {
    if (!started_) {
        started_ = true;
        Cut(start_, text);  // too short for a byte order mark, or anything
    }
    if (utf16_) Cut(utf16_->Finish(), text);
    if (!carry_.empty()) Physical(carry_, text);
    carry_.clear();
    if (have_pending_) Property(text);
    have_pending_ = false;
}

void VcardReader::Cut(std::string_view bytes, std::string& text) {
    std::size_t at = 0;
    if (after_cr_ && !bytes.empty()) {
        after_cr_ = false;
        if (bytes[0] == '\n') at = 1;
    }
    while (at < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            const std::size_t room = kMaxProperty - std::min(kMaxProperty, carry_.size());
            carry_.append(bytes.substr(at, std::min(room, bytes.size() - at)));
            return;
        }
        if (carry_.empty()) {
            Physical(bytes.substr(at, end - at), text);
        } else {
            const std::size_t room = kMaxProperty - std::min(kMaxProperty, carry_.size());
            carry_.append(bytes.substr(at, std::min(room, end - at)));
            Physical(carry_, text);
            carry_.clear();
        }
        at = end + 1;
        if (bytes[end] == '\r') {
            if (at == bytes.size())
                after_cr_ = true;
            else if (bytes[at] == '\n')
                ++at;
        }
    }
}

void VcardReader::Physical(std::string_view line, std::string& text) {
    const auto append = [this](std::string_view more) {
        pending_.append(more.substr(0, kMaxProperty - std::min(kMaxProperty, pending_.size())));
    };
    if (have_pending_ && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
        append(line.substr(1));  // folded: the line goes on
        return;
    }
    if (have_pending_ && pending_quoted_printable_ && pending_.ends_with('=')) {
        pending_.pop_back();  // a soft line break of quoted-printable
        append(line);
        return;
    }
    if (have_pending_) Property(text);
    pending_.clear();
    append(line);
    have_pending_ = true;
    const std::size_t colon = ValueStart(pending_);
    pending_quoted_printable_ =
        colon != std::string::npos &&
        ReadHead(std::string_view(pending_).substr(0, colon)).quoted_printable;
}

void VcardReader::Property(std::string& text) {
    const std::string_view property = pending_;
    const std::size_t colon = ValueStart(property);
    if (colon == std::string_view::npos) return;
    const Head head = ReadHead(property.substr(0, colon));
    if (!EqualsIgnoringCase(head.name, "TEL")) return;
    std::string_view raw = property.substr(colon + 1);
    std::string value =
        Unescape(head.quoted_printable ? DecodeQuotedPrintable(raw) : std::string(raw));
    if (IsCodePage936(head.charset) || (head.charset.empty() && !IsUtf8(value)))
        value = Utf16ToUtf8(AnsiBytesToString(value));
    else if (!IsUtf8(value))
        value = Utf16ToUtf8(Utf8ToUtf16(value));  // what cannot be read, as replacement characters
    std::string_view number = value;
    if (StartsIgnoringCase(number, "tel:")) number.remove_prefix(4);
    const std::size_t from = text.size();
    text.append(number.substr(0, kMaxListLine + 1));
    for (std::size_t i = from; i < text.size(); ++i)
        if (text[i] == '\t' || text[i] == '\r' || text[i] == '\n') text[i] = ' ';
    text += '\n';
}

}  // namespace numtrail

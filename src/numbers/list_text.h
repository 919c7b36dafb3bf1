#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace numtrail {

// The longest line of a number list that is given whole. A list's line is a number with a note
// or a spreadsheet's row; anything longer is no list's line, and holding it whole would let one
// endless line take all memory. A longer line is given cut to this length.
inline constexpr std::size_t kMaxListLine = 64 * 1024;

enum class ListEncoding { Utf8, Utf16Le, Utf16Be, CodePage936 };

struct ListEncodingChoice {
    ListEncoding encoding = ListEncoding::CodePage936;
    std::size_t bom_size = 0;  // the byte order mark at the start, which is no text
};

// The encoding of a number list file, from its bytes. A byte order mark decides (UTF-8,
// UTF-16 LE or BE). Without one, text that is valid UTF-8 and holds at least one multi-byte
// sequence is UTF-8: phones and current spreadsheets write that. Anything else is code page
// 936, as lists were always read; plain ASCII reads the same either way.
ListEncodingChoice ChooseListEncoding(std::string_view bytes);

// The same choice for a file that arrives in pieces, so that a list need not be held whole:
// after the pieces have been added in order, Choice() is what ChooseListEncoding says of
// their concatenation.
class ListEncodingScan {
  public:
    void Add(std::string_view piece);

    // True once no further text can change the choice: a byte order mark was read, or bytes
    // that are no UTF-8.
    bool Settled() const { return invalid_ || (bom_ != Bom::Undecided && bom_ != Bom::None); }
    // True once the first bytes have shown whether the text starts with a byte order mark.
    bool StartKnown() const { return bom_ != Bom::Undecided; }

    // The choice for the text added so far, as if it ended there.
    ListEncodingChoice Choice() const;

  private:
    enum class Bom { Undecided, Utf8, Utf16Le, Utf16Be, None };

    void ScanText(std::string_view text);

    Bom bom_ = Bom::Undecided;
    std::string head_;     // the first bytes, until they show whether a byte order mark starts
    std::string partial_;  // a UTF-8 sequence that the last piece ended inside
    bool invalid_ = false;
    bool multi_byte_ = false;
};

// True when the text is valid UTF-8 (strict: no overlong forms, no surrogates, nothing past
// U+10FFFF, no sequence cut short).
bool IsUtf8(std::string_view text);

// UTF-16 bytes as UTF-8, as they arrive in pieces: an unpaired surrogate, or an odd byte at the
// end, becomes a replacement character.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(bool big_endian) : big_endian_(big_endian) {}
    // The piece as UTF-8, holding back an odd byte or a high surrogate at its end for the next;
    // the text lives until the next call.
    std::string_view Convert(std::string_view bytes);
    // What was held back at the end of the text, as replacement characters.
    std::string_view Finish();

  private:
    void AppendUnit(char16_t unit);

    bool big_endian_;
    std::string utf8_;
    std::string odd_byte_;  // the first byte of a unit cut by the piece's end
    char16_t high_surrogate_ = 0;
};

// Cuts the text of a number list file into lines as it arrives in pieces, and gives each
// line as UTF-8 without its line end: the byte order mark is skipped, UTF-16 is converted
// (an unpaired surrogate, or a last odd byte, becomes a replacement character), and code
// page 936 is decoded line by line, so that a character cut short by a line end spoils only
// its own line; bytes that cannot be decoded, in any encoding, become a replacement
// character, never lost silently. A line ends at CR LF, at a lone CR or at a lone LF, also when the
// pair is split between two pieces. Every line is given, empty ones included; a last line without
// an end comes with Finish(). The text given to `line` lives only until the call returns.
// A line longer than kMaxListLine is given once, its first kMaxListLine bytes (less a character
// cut short, in UTF-8 and UTF-16), and LineCut() says so while it is given; the rest of it is
// skipped as it comes, so that memory stays bounded however long it is.
class ListLineCutter {
  public:
    explicit ListLineCutter(ListEncodingChoice choice);

    // A cutter for a list whose encoding is chosen as it is read, for a pipe that cannot be read
    // twice: lines of plain ASCII read the same in every encoding the choice can make, so they
    // are given at once, while the choice is open; from the first other line on, lines are held
    // until the text settles the choice as ChooseListEncoding would (a byte order mark, bytes
    // that are no UTF-8, or the end). When kChoiceWindow bytes of held lines are all valid
    // UTF-8, UTF-8 it is, without waiting further; a later line that is no UTF-8 is then read as
    // code page 936, line by line.
    static ListLineCutter ChoosingAsItReads();
    // What the lines held while choosing may take.
    static constexpr std::size_t kChoiceWindow = 8 * 1024 * 1024;

    template <typename LineFn>
    void Add(std::string_view piece, LineFn&& line);
    template <typename LineFn>
    void Finish(LineFn&& line);

    // True while a line longer than kMaxListLine is given, cut.
    bool LineCut() const { return line_cut_; }

  private:
    template <typename LineFn>
    void Cut(std::string_view text, LineFn& line);
    // Adds to the line begun in carry_, up to kMaxListLine bytes; past that the line is cut.
    void Keep(const char* p, std::size_t n);
    // The first CR or LF from p on, or end.
    static const char* FindLineEnd(const char* p, const char* end);
    template <typename LineFn>
    void Give(std::string_view raw, bool cut, LineFn& line);
    // A line that is not plain ASCII, as UTF-8: code page 936 decoded, and UTF-8 as it is
    // unless it holds bytes that are no UTF-8 (a byte order mark decides even over those),
    // which become replacement characters. Kept in decoded_ where it had to change.
    std::string_view Decode(std::string_view raw);
    // While choosing: adds the piece to the scan, and cuts it once the start shows that no
    // byte order mark is there, or decides when the scan is settled.
    template <typename LineFn>
    void Choose(std::string_view piece, LineFn& line);
    // Ends the choice and gives the lines held meanwhile.
    template <typename LineFn>
    void Decide(ListEncodingChoice choice, bool code_page_fallback, LineFn& line);

    ListEncoding encoding_;
    std::size_t skip_;       // bytes of the byte order mark still to skip
    std::string carry_;      // the start of a line that the last piece ended inside
    bool over_ = false;      // the line in carry_ went past kMaxListLine: the rest is skipped
    bool line_cut_ = false;  // the line being given was cut
    bool after_cr_ = false;  // the last piece ended in CR: an LF first is its pair
    Utf16Decoder utf16_;
    std::string decoded_;
    // While choosing (see ChoosingAsItReads).
    bool choosing_ = false;
    ListEncodingScan scan_;
    std::string start_;  // the first bytes, while they may still be a byte order mark
    std::string held_;   // lines held back: '1' or '0' (cut or not), the line's bytes, LF
    bool code_page_fallback_ = false;  // UTF-8 chosen early: a line that is no UTF-8 is GBK
};

// Calls `line` with each line of a number list file, as UTF-8 text without its line end,
// in file order, after choosing the encoding as above. Empty lines are skipped; otherwise
// the lines are those of ListLineCutter.
void ForEachListLine(std::string_view bytes, const std::function<void(std::string_view)>& line);

template <typename LineFn>
void ListLineCutter::Add(std::string_view piece, LineFn&& line) {
    if (choosing_) [[unlikely]] {
        Choose(piece, line);
        return;
    }
    if (skip_ != 0) {
        const std::size_t n = skip_ < piece.size() ? skip_ : piece.size();
        piece.remove_prefix(n);
        skip_ -= n;
    }
    if (encoding_ == ListEncoding::Utf16Le || encoding_ == ListEncoding::Utf16Be)
        piece = utf16_.Convert(piece);
    Cut(piece, line);
}

template <typename LineFn>
void ListLineCutter::Finish(LineFn&& line) {
    if (choosing_) {
        // What was read is all there is: the choice is what the whole text makes it.
        const std::string start = std::move(start_);
        start_.clear();
        Decide(scan_.Choice(), false, line);
        Add(start, line);
    }
    if (const std::string_view rest = utf16_.Finish(); !rest.empty()) Cut(rest, line);
    if (!carry_.empty()) {
        Give(carry_, over_, line);
        carry_.clear();
        over_ = false;
    }
}

// Eight bytes at a time: a line of a number list is a dozen or two bytes, and looking at them
// one by one was most of the cost of cutting.
inline const char* ListLineCutter::FindLineEnd(const char* p, const char* end) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kHighs = 0x8080808080808080ull;
        while (end - p >= 8) {
            std::uint64_t v;
            std::memcpy(&v, p, 8);
            const std::uint64_t lf = v ^ (kOnes * '\n');
            const std::uint64_t cr = v ^ (kOnes * '\r');
            // The lowest byte flagged is the first CR or LF; flags above it may be false.
            const std::uint64_t found =
                ((lf - kOnes) & ~lf & kHighs) | ((cr - kOnes) & ~cr & kHighs);
            if (found != 0) return p + std::countr_zero(found) / 8;
            p += 8;
        }
    }
    while (p != end && *p != '\n' && *p != '\r') ++p;
    return p;
}

template <typename LineFn>
void ListLineCutter::Cut(std::string_view text, LineFn& line) {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (after_cr_ && p != end) {
        after_cr_ = false;
        if (*p == '\n') ++p;
    }
    while (p != end) {
        const char* e = FindLineEnd(p, end);
        const auto size = static_cast<std::size_t>(e - p);
        if (e == end) {
            Keep(p, size);
            return;
        }
        if (carry_.empty() && size <= kMaxListLine) {
            Give({p, size}, false, line);
        } else {
            Keep(p, size);
            Give(carry_, over_, line);
            carry_.clear();
            over_ = false;
        }
        if (*e == '\r') {
            if (e + 1 == end) {
                after_cr_ = true;
                return;
            }
            if (e[1] == '\n') ++e;
        }
        p = e + 1;
    }
}

template <typename LineFn>
void ListLineCutter::Give(std::string_view raw, bool cut, LineFn& line) {
    if (choosing_) [[unlikely]] {
        bool ascii = held_.empty();
        for (std::size_t i = 0; ascii && i < raw.size(); ++i)
            ascii = static_cast<unsigned char>(raw[i]) < 0x80;
        if (!ascii) {
            held_ += cut ? '1' : '0';
            held_ += raw;
            held_ += '\n';
            return;
        }
    }
    line_cut_ = cut;
    if (encoding_ == ListEncoding::CodePage936 || encoding_ == ListEncoding::Utf8) {
        for (const char c : raw) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                line(Decode(raw));
                return;
            }
        }
    }
    line(raw);
}

template <typename LineFn>
void ListLineCutter::Choose(std::string_view piece, LineFn& line) {
    scan_.Add(piece);
    if (!scan_.StartKnown()) {
        start_ += piece;
        return;
    }
    std::string start;
    if (!start_.empty()) {
        start = std::move(start_);
        start_.clear();
        start += piece;
        piece = start;
    }
    if (scan_.Settled()) {
        Decide(scan_.Choice(), false, line);
        Add(piece, line);
        return;
    }
    Cut(piece, line);
    if (held_.size() > kChoiceWindow) Decide({ListEncoding::Utf8, 0}, true, line);
}

template <typename LineFn>
void ListLineCutter::Decide(ListEncodingChoice choice, bool code_page_fallback, LineFn& line) {
    choosing_ = false;
    encoding_ = choice.encoding;
    skip_ = choice.bom_size;
    utf16_ = Utf16Decoder(choice.encoding == ListEncoding::Utf16Be);
    code_page_fallback_ = code_page_fallback;
    for (std::size_t at = 0; at < held_.size();) {
        const std::size_t end = held_.find('\n', at);
        Give(std::string_view(held_).substr(at + 1, end - at - 1), held_[at] == '1', line);
        at = end + 1;
    }
    std::string().swap(held_);
    scan_ = ListEncodingScan();
}

}  // namespace numtrail

#include "crypto/rnd_xor_hash.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "crypto/crypto_error.h"
#include "crypto/encrypt_decrypt.h"
#include "crypto/file_bytes.h"
#include "platform/codepage.h"
#include "platform/secret.h"

namespace numtrail {
namespace {

// The 94 printable ASCII characters 0x21..0x7E, in the fixed order HashKey is drawn from.
// Every ciphertext made with a keySize that was set depends on this table and on the index
// rule below: neither may ever change.
constexpr char kHashKeyTable[] =
    "!V-b9nEzQ(]4i@uL#X/d;pG|S*_6kBwN%Z1f=rI~U,a8mDyP'\\3h?tK\"W.c:oF{R)^5jAvM$Y0e<qH}T+`7lCxO&["
    "2g>sJ";

constexpr bool IsPrintableAsciiPermutation(const char* table) {
    bool seen[128] = {};
    for (int i = 0; i < 94; ++i) {
        const int c = table[i];
        if (c < 0x21 || c > 0x7E || seen[c]) return false;
        seen[c] = true;
    }
    return true;
}
static_assert(sizeof kHashKeyTable - 1 == 94 && IsPrintableAsciiPermutation(kHashKeyTable));

// The character at position p (counted from 1) is kHashKeyTable[(p * 37 + 19) & 0x3F]. The
// mask keeps the index inside the table; with the odd step, 64 consecutive positions pick
// 64 different characters.
constexpr unsigned kHashKeyIndexMask = 0x3F;
constexpr unsigned kHashKeyIndexStep = 37;
constexpr unsigned kHashKeyIndexOffset = 19;

constexpr int kMaxCount = std::numeric_limits<std::int16_t>::max();

[[noreturn]] void Overflow(const char* operation) {
    throw CryptoError(kErrOverflow, std::string("CRndXorHash.") + operation + " - Overflow");
}

// Up to len code units from pos (0-based); empty when pos lies past the end.
std::u16string_view Mid(std::u16string_view s, std::size_t pos, std::size_t len) {
    if (pos >= s.size()) return {};
    return s.substr(pos, len);
}

std::u16string Concat(std::u16string_view a, std::u16string_view b) {
    std::u16string s;
    s.reserve(a.size() + b.size());
    s.append(a);
    s.append(b);
    return s;
}

}  // namespace

CRndXorHash::CRndXorHash(ProcessRandom& random, const Clock& clock, Notifier& notifier)
    : random_(random), clock_(clock), notifier_(notifier) {}

void CRndXorHash::keySize(std::int16_t NewValue) {
    keySize_ = NewValue < 1 ? std::int16_t{8} : NewValue;
    std::u16string key;
    key.reserve(static_cast<std::size_t>(keySize_));
    for (unsigned position = 1; position <= static_cast<unsigned>(keySize_); ++position) {
        const unsigned index =
            (position * kHashKeyIndexStep + kHashKeyIndexOffset) & kHashKeyIndexMask;
        key += static_cast<char16_t>(kHashKeyTable[index]);
    }
    HashKey = std::move(key);
}

std::u16string CRndXorHash::StringEncrypt(std::u16string_view Plaintext,
                                          std::u16string_view strPassword) {
    try {
        return Encrypt(Plaintext, strPassword);
    } catch (const std::exception&) {
        return {};
    }
}

std::u16string CRndXorHash::StringDecrypt(std::u16string_view Ciphertext,
                                          std::u16string_view strPassword) {
    try {
        return Decrypt(Ciphertext, strPassword).value_or(std::u16string());
    } catch (const std::exception&) {
        return {};
    }
}

bool CRndXorHash::FileEncrypt(const std::filesystem::path& PlaintextFileName,
                              const std::filesystem::path& CiphertextFileName,
                              std::u16string_view strPassword) {
    lastFileError_.clear();
    try {
        // Every code unit takes at least one byte, and a Chinese character two: a file
        // beyond twice the plaintext limit cannot fit.
        const std::string bytes =
            ReadFileBytes(PlaintextFileName, 2 * static_cast<std::uint64_t>(MaxTextLength()));
        const std::u16string plaintext = AnsiBytesToString(bytes);
        // Anything that does not come back as the same bytes (a binary file) would be
        // altered by the round trip through text.
        if (StringToAnsiBytes(plaintext) != bytes)
            throw CryptoError(kErrFileIo, "Not code page 936 text: " + PlaintextFileName.string());
        const std::u16string hex = Encrypt(plaintext, strPassword);
        // The hexadecimal text is plain ASCII: one byte per character.
        WriteFileBytes(CiphertextFileName, std::string(hex.begin(), hex.end()));
        return true;
    } catch (const std::exception& e) {
        lastFileError_ = e.what();
        return false;
    }
}

bool CRndXorHash::FileDecrypt(const std::filesystem::path& PlaintextFileName,
                              const std::filesystem::path& CiphertextFileName,
                              std::u16string_view strPassword) {
    lastFileError_.clear();
    try {
        // Six characters (four digits, two spaces) per code unit of the header and of the
        // longest plaintext. Spaces beyond those the cipher writes would be ignored, but a
        // file that long is refused rather than read whole.
        const std::uint64_t max_units = 3 * static_cast<std::uint64_t>(keySize_) + MaxTextLength();
        const std::u16string ciphertext =
            AnsiBytesToString(ReadFileBytes(CiphertextFileName, 6 * max_units));
        const std::optional<std::u16string> plaintext = Decrypt(ciphertext, strPassword);
        if (!plaintext) return false;
        // A character the code page cannot hold would be written as '?'.
        const std::string bytes = StringToAnsiBytes(*plaintext);
        if (AnsiBytesToString(bytes) != *plaintext)
            throw CryptoError(kErrFileIo,
                              "Not representable in code page 936: " + PlaintextFileName.string());
        WriteFileBytes(PlaintextFileName, bytes);
        return true;
    } catch (const std::exception& e) {
        lastFileError_ = e.what();
        return false;
    }
}

int CRndXorHash::MaxTextLength() const { return std::max(0, kMaxCount - keySize_); }

std::u16string CRndXorHash::Encrypt(std::u16string_view plaintext, std::u16string_view password) {
    const std::u16string S = HashString(Concat(clock_.DateText(), clock_.TimeText()));
    const std::u16string HP = HashString(*Wiped<std::u16string>(Concat(S, password)));
    const std::u16string HT = HashString(plaintext);
    const std::u16string header = S + HP + HT;
    SeedFromString(header);
    const std::u16string body = XorWithRandom(plaintext);
    return MEncryptDecrypt::StringToHex(header + body);
}

std::optional<std::u16string> CRndXorHash::Decrypt(std::u16string_view ciphertext,
                                                   std::u16string_view password) {
    const std::u16string E = MEncryptDecrypt::HexToString(ciphertext);
    const int k = keySize_;
    if (3 * k > kMaxCount) Overflow("StringDecrypt");
    const auto K = static_cast<std::size_t>(k);
    const std::u16string_view header = Mid(E, 0, 3 * K);
    const std::u16string_view S = Mid(header, 0, K);
    const std::u16string_view HT = Mid(header, 2 * K, K);

    // The password check sits at code units K+1..2K. It is compared in place rather than
    // searched for: with a small key size the salt can happen to contain it too, and a
    // search would then reject the right password.
    const std::u16string h = HashString(*Wiped<std::u16string>(Concat(S, password)));
    if (Mid(header, K, K) != h) {
        notifier_.Notify(u"密码不正确！", NoticeStyle::Critical);
        return std::nullopt;
    }

    SeedFromString(header);
    std::u16string P = XorWithRandom(Mid(E, header.size(), E.size()));
    if (HashString(P) != HT) {
        notifier_.Notify(u"密文被修改，完整性不正确！", NoticeStyle::Exclamation);
        return std::nullopt;
    }
    return P;
}

std::u16string CRndXorHash::HashString(std::u16string_view x) {
    const std::u16string keyed = Concat(x, HashKey);
    SeedFromString(keyed);
    const std::u16string t = XorWithRandom(keyed);
    SeedFromString(t);
    return XorWithRandom(HashKey);
}

void CRndXorHash::SeedFromString(std::u16string_view s) {
    // Restart from the same state whatever was drawn before.
    random_.MixSeed(random_.NextRandom(-1.0f));
    if (s.size() > static_cast<std::size_t>(kMaxCount)) Overflow("SeedFromString");
    for (const char16_t c : s) {
        // Code units 8000..FFFF count as negative, and the product is rounded to single
        // precision: both are part of the ciphertext format.
        const auto a = static_cast<float>(static_cast<std::int16_t>(c));
        const float r = random_.NextRandom();
        const float v = -(r * a);
        const float w = random_.NextRandom(v);
        const float m = std::nearbyint(w);  // ties to even under the default rounding mode
        random_.MixSeed(m);
    }
}

std::u16string CRndXorHash::XorWithRandom(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (const char16_t c : s) {
        const auto k =
            static_cast<unsigned>(std::floor(static_cast<double>(random_.NextRandom()) * 128.0));
        out += static_cast<char16_t>(c ^ k);
    }
    return out;
}

}  // namespace numtrail

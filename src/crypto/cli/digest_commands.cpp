// numtrail-crypt commands for CMD5Encrypt and CBase64EnDeCode.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/cli/cli.h"
#include "crypto/md5.h"
#include "platform/codepage.h"

namespace numtrail::cli {
namespace {

std::filesystem::path PathArgument(const std::string& utf8) { return {utf8}; }

int Md5File(const Arguments& args) {
    CMD5Encrypt md5;
    PrintLine(md5.DigestFileToHexStr(PathArgument(args.positional[0])));
    return kExitOk;
}

int Md5Text(const Arguments& args) {
    CMD5Encrypt md5;
    PrintLine(md5.DigestStrToHexStr(Utf8ToUtf16(args.positional[0])));
    return kExitOk;
}

// CBase64EnDeCode never reports a failure, so the commands tell the user themselves when
// the input is one the codec turns away: it answers the empty text or writes nothing.
std::optional<std::string> Base64Refusal(std::size_t bytes, bool decoding) {
    if (!decoding) {
        if (bytes > CBase64EnDeCode::kMaxEncodeBytes)
            return "nothing encoded: the input is larger than 32,766 bytes";
        return std::nullopt;
    }
    if (bytes > CBase64EnDeCode::kMaxDecodeBytes)
        return "nothing decoded: the input is longer than 32,765 characters";
    if (bytes % 4 >= 2) return "nothing decoded: the input is not whole groups of 4 characters";
    return std::nullopt;
}

int Refused(const std::string& message) {
    std::cerr << message << '\n';
    return kExitFailed;
}

int Base64Text(const Arguments& args, bool decoding) {
    const std::u16string text = Utf8ToUtf16(args.positional[0]);
    if (const auto refusal = Base64Refusal(AnsiByteLength(text), decoding))
        return Refused(*refusal);
    const CBase64EnDeCode codec;
    PrintLine(decoding ? codec.Base64StringDecode(text) : codec.Base64StringEncode(text));
    return kExitOk;
}

// Files: input first, output second, as every numtrail-crypt command; the codec's own
// argument order (plain file first) is taken care of here.
int Base64File(const Arguments& args, bool decoding) {
    const std::filesystem::path input = PathArgument(args.positional[0]);
    const std::filesystem::path output = PathArgument(args.positional[1]);
    std::error_code error;
    const auto size = std::filesystem::file_size(input, error);
    if (error || !std::ifstream(input, std::ios::binary))
        return Refused("cannot read " + args.positional[0]);
    if (const auto refusal = Base64Refusal(size, decoding)) return Refused(*refusal);
    const CBase64EnDeCode codec;
    const bool written =
        decoding ? codec.Base64FileDecode(output, input) : codec.Base64FileEncode(input, output);
    if (!written) return Refused("nothing written: cannot write " + args.positional[1]);
    return kExitOk;
}

}  // namespace

std::vector<Command> Md5Commands() {
    return {
        {"md5-file", "md5-file FILE             MD5 of a file, 32 hex characters", {}, 1, Md5File},
        {"md5-text",
         "md5-text TEXT             MD5 of a text's code page 936 bytes",
         {},
         1,
         Md5Text},
    };
}

std::vector<Command> Base64Commands() {
    return {
        {"base64-encode-file",
         "base64-encode-file IN OUT  Base64 of a file (at most 32,766 bytes)",
         {},
         2,
         [](const Arguments& args) { return Base64File(args, false); }},
        {"base64-decode-file",
         "base64-decode-file IN OUT  the bytes a Base64 file encodes, up to the first zero byte",
         {},
         2,
         [](const Arguments& args) { return Base64File(args, true); }},
        {"base64-encode-text",
         "base64-encode-text TEXT   Base64 of a text's code page 936 bytes",
         {},
         1,
         [](const Arguments& args) { return Base64Text(args, false); }},
        {"base64-decode-text",
         "base64-decode-text TEXT   the text a Base64 text encodes, up to the first NUL",
         {},
         1,
         [](const Arguments& args) { return Base64Text(args, true); }},
    };
}

}  // namespace numtrail::cli

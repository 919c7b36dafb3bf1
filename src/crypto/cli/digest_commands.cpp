// numtrail-crypt commands for CMD5Encrypt and CBase64EnDeCode.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/cli/cli.h"
#include "crypto/cli/file_arguments.h"
#include "crypto/md5.h"
#include "platform/codepage.h"

namespace numtrail::cli {
namespace {

// md5sum's line: lower-case hex, two blanks (text mode) and the name. A name with a
// backslash or a line end is escaped, and the line then starts with a backslash.
std::string Md5sumLine(std::string hex, const std::string& name) {
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string escaped;
    for (const char c : name) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return (escaped.size() != name.size() ? "\\" : "") + hex + "  " + escaped + '\n';
}

struct Md5FileArguments {
    std::vector<std::string> files;
    bool md5sum = false;
};

// Every file is digested even after one fails, as md5sum does; any failure makes the status 1.
int Md5File(const Md5FileArguments& args) {
    if (!args.md5sum && args.files.size() != 1)
        throw BadUsage{"md5-file takes one FILE, or several with --md5sum"};
    int status = kExitOk;
    for (const std::string& file : args.files) {
        try {
            const InputArgument input(file);
            CMD5Encrypt md5;
            const std::string hex = Utf16ToUtf8(md5.DigestFileToHexStr(input.Path()));
            std::cout << (args.md5sum ? Md5sumLine(hex, file) : hex + '\n');
        } catch (const std::exception& e) {  // the classes' errors too: their what() says why
            std::cerr << "md5-file: " << e.what() << '\n';
            status = kExitFailed;
        }
    }
    return status;
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

// The codec reads its alphabet and nothing else; what base64 and mail wrap comes apart here.
template <typename Text>
void DropLineEnds(Text& text) {
    std::erase_if(text, [](auto c) { return c == '\r' || c == '\n'; });
}

// Lines of `width` characters, each with its line end, as base64 writes them; 0 leaves the
// text as it is.
template <typename Text>
Text Wrapped(const Text& text, int width) {
    if (width <= 0 || text.empty()) return text;
    Text lines;
    const auto w = static_cast<std::size_t>(width);
    for (std::size_t i = 0; i < text.size(); i += w) {
        lines += text.substr(i, w);
        lines += '\n';
    }
    return lines;
}

struct Base64Arguments {
    bool decoding = false;
    int wrap = 0;
    std::string input;   // a file, or the text
    std::string output;  // a file
};

int Base64Text(const Base64Arguments& args) {
    std::u16string text = Utf8ToUtf16(args.input);
    if (args.decoding) DropLineEnds(text);
    if (const auto refusal = Base64Refusal(AnsiByteLength(text), args.decoding))
        return Refused(*refusal);
    const CBase64EnDeCode codec;
    if (args.decoding) {
        PrintLine(codec.Base64StringDecode(text));
        return kExitOk;
    }
    std::u16string encoded = Wrapped(codec.Base64StringEncode(text), args.wrap);
    if (!encoded.empty() && encoded.back() == u'\n') encoded.pop_back();
    PrintLine(encoded);
    return kExitOk;
}

// Files: input first, output second, as every numtrail-crypt command; the codec's own
// argument order (plain file first) is taken care of here.
int Base64File(const Base64Arguments& args) {
    const InputArgument input(
        args.input,
        args.decoding ? std::function<void(std::string&)>(DropLineEnds<std::string>) : nullptr);
    std::error_code error;
    const auto size = std::filesystem::file_size(input.Path(), error);
    if (error || !std::ifstream(input.Path(), std::ios::binary))
        return Refused("cannot read " + args.input);
    if (const auto refusal = Base64Refusal(size, args.decoding)) return Refused(*refusal);
    const int wrap = args.wrap;
    const OutputArgument output(
        args.output, wrap > 0 ? std::function<std::string(std::string)>(
                                    [wrap](std::string bytes) { return Wrapped(bytes, wrap); })
                              : nullptr);
    const CBase64EnDeCode codec;
    const bool written = args.decoding ? codec.Base64FileDecode(output.Path(), input.Path())
                                       : codec.Base64FileEncode(input.Path(), output.Path());
    if (!written) return Refused("nothing written: cannot write " + args.output);
    output.Deliver();
    return kExitOk;
}

}  // namespace

void AddMd5Commands(CLI::App& app, std::vector<Command>& commands) {
    auto file_args = std::make_shared<Md5FileArguments>();
    CLI::App* md5_file =
        app.add_subcommand("md5-file", "MD5 of a file, 32 upper-case hex characters");
    md5_file->add_flag("--md5sum", file_args->md5sum,
                       "one line per FILE as md5sum writes it (lower-case hex, two blanks, the "
                       "name), for md5sum -c");
    md5_file
        ->add_option("FILE", file_args->files,
                     "the file (several with --md5sum); \"-\" is standard input")
        ->required();
    commands.push_back({md5_file, [file_args] { return Md5File(*file_args); }});

    auto text = std::make_shared<std::string>();
    CLI::App* md5_text =
        app.add_subcommand("md5-text", "MD5 of a text's code page 936 bytes, 32 hex characters");
    md5_text->add_option("TEXT", *text, "the text, UTF-8")->required();
    commands.push_back({md5_text, [text] {
                            CMD5Encrypt md5;
                            PrintLine(md5.DigestStrToHexStr(Utf8ToUtf16(*text)));
                            return kExitOk;
                        }});
}

void AddBase64Commands(CLI::App& app, std::vector<Command>& commands) {
    struct Shape {
        const char* name;
        const char* description;
        bool decoding;
        bool files;
    };
    const Shape shapes[] = {
        {"base64-encode-file", "Base64 of a file (at most 32,766 bytes)", false, true},
        {"base64-decode-file",
         "the bytes a Base64 file encodes, up to the first zero byte; line ends are skipped", true,
         true},
        {"base64-encode-text", "Base64 of a text's code page 936 bytes", false, false},
        {"base64-decode-text",
         "the text a Base64 text encodes, up to the first NUL; line ends are skipped", true, false},
    };
    for (const Shape& shape : shapes) {
        auto args = std::make_shared<Base64Arguments>();
        args->decoding = shape.decoding;
        CLI::App* command = app.add_subcommand(shape.name, shape.description);
        if (!shape.decoding)
            command
                ->add_option("--wrap", args->wrap,
                             "lines of N characters, each with its line end (default 0: "
                             "one piece without a line end)")
                ->type_name("N")
                ->check(WholeNumber(0, INT32_MAX));
        if (shape.files) {
            command->add_option("IN", args->input, "the file to read; \"-\" is standard input")
                ->required();
            command->add_option("OUT", args->output, "the file to write; \"-\" is standard output")
                ->required();
        } else {
            command->add_option("TEXT", args->input, "the text, UTF-8")->required();
        }
        commands.push_back({command, [args, files = shape.files] {
                                return files ? Base64File(*args) : Base64Text(*args);
                            }});
    }
}

}  // namespace numtrail::cli

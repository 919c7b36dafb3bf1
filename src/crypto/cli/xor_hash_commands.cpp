// numtrail-crypt commands for the XOR-hash password cipher.
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <string>

#include "crypto/cli/cli.h"
#include "crypto/cli/file_arguments.h"
#include "crypto/cli/password.h"
#include "crypto/encrypt_decrypt.h"
#include "crypto/rnd_xor_hash.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/random.h"

namespace numtrail::cli {
namespace {

struct XorHashArguments {
    PasswordOptions password;
    int key_size = 8;
    CLI::Option* key_size_option = nullptr;
    std::string input;   // a file, or the text or hex
    std::string output;  // a file
};

// The cipher with the process's generator, the real clock and messages on standard error.
struct XorHashSession {
    ProcessRandom random;
    SystemClock clock;
    StderrNotifier notifier;
    CRndXorHash cipher{random, clock, notifier};
    Wiped<std::u16string> password;

    explicit XorHashSession(const XorHashArguments& args) {
        // Without --key-size the construction key stays: setting 8 would build another.
        if (args.key_size_option->count() > 0)
            cipher.keySize(static_cast<std::int16_t>(args.key_size));
        password = args.password.ReadUtf16();
    }
};

// An empty plaintext is a valid result only for a ciphertext that is nothing but its
// header, and only when the class could hash the password at all; every other empty
// result is a failure the class kept silent.
bool EmptyPlaintextIsGenuine(const XorHashSession& s, const std::u16string& hex) {
    constexpr std::size_t kMaxCount = std::numeric_limits<std::int16_t>::max();
    const auto k = static_cast<std::size_t>(s.cipher.keySize());
    return 3 * k <= kMaxCount && 2 * k + s.password->size() <= kMaxCount &&
           MEncryptDecrypt::HexToString(hex).size() == 3 * k;
}

int EncryptText(const XorHashArguments& args) {
    XorHashSession s(args);
    const std::u16string hex = s.cipher.StringEncrypt(Utf8ToUtf16(args.input), *s.password);
    // Even an empty text gets a header, so an empty result always means failure.
    if (hex.empty() || s.notifier.Shown()) {
        std::cerr << "xor-encrypt-text: the text could not be encrypted\n";
        return kExitFailed;
    }
    PrintLine(hex);
    return kExitOk;
}

int DecryptText(const XorHashArguments& args) {
    XorHashSession s(args);
    const std::u16string hex = Utf8ToUtf16(args.input);
    const std::u16string text = s.cipher.StringDecrypt(hex, *s.password);
    if (s.notifier.Shown()) return kExitFailed;
    if (text.empty() && !EmptyPlaintextIsGenuine(s, hex)) {
        std::cerr << "xor-decrypt-text: the text could not be decrypted\n";
        return kExitFailed;
    }
    PrintLine(text);
    return kExitOk;
}

void NothingWritten(const char* command, const XorHashSession& s, const InputArgument& input,
                    const OutputArgument& output) {
    std::cerr << command << ": nothing written";
    if (!s.cipher.LastFileError().empty())
        std::cerr << ": " << output.Named(input.Named(s.cipher.LastFileError()));
    std::cerr << '\n';
}

int EncryptFile(const XorHashArguments& args) {
    XorHashSession s(args);
    const InputArgument input(args.input);
    const OutputArgument output(args.output);
    const bool written = s.cipher.FileEncrypt(input.Path(), output.Path(), *s.password);
    if (!written || s.notifier.Shown()) {
        NothingWritten("xor-encrypt-file", s, input, output);
        return kExitFailed;
    }
    output.Deliver();
    return kExitOk;
}

int DecryptFile(const XorHashArguments& args) {
    XorHashSession s(args);
    const InputArgument input(args.input);
    const OutputArgument output(args.output);
    // Input first: the ciphertext file is read, the plaintext file written.
    const bool written = s.cipher.FileDecrypt(output.Path(), input.Path(), *s.password);
    if (!written || s.notifier.Shown()) {
        if (!s.notifier.Shown()) NothingWritten("xor-decrypt-file", s, input, output);
        return kExitFailed;
    }
    output.Deliver();
    return kExitOk;
}

}  // namespace

void AddXorHashCommands(CLI::App& app, std::vector<Command>& commands) {
    struct Shape {
        const char* name;
        const char* description;
        const char* input;  // the positional's name and help
        const char* input_help;
        bool files;
        int (*run)(const XorHashArguments&);
    };
    const Shape shapes[] = {
        {"xor-encrypt-file", "the XOR-hash cipher's hex text of a code page 936 text file", "IN",
         "the file to read; \"-\" is standard input", true, EncryptFile},
        {"xor-decrypt-file", "the text file an XOR-hash hex file holds", "IN",
         "the file to read; \"-\" is standard input", true, DecryptFile},
        {"xor-encrypt-text", "the XOR-hash cipher's hex text of a text", "TEXT", "the text, UTF-8",
         false, EncryptText},
        {"xor-decrypt-text", "the text XOR-hash hex digits hold", "HEX", "the hex digits", false,
         DecryptText},
    };
    for (const Shape& shape : shapes) {
        auto args = std::make_shared<XorHashArguments>();
        CLI::App* command = app.add_subcommand(shape.name, shape.description);
        args->password.AddTo(*command);
        args->key_size_option =
            command
                ->add_option("--key-size", args->key_size,
                             "the key size; below 1 means 8 (default: the cipher's own key)")
                ->type_name("K")
                ->check(WholeNumber(std::numeric_limits<std::int16_t>::min(),
                                    std::numeric_limits<std::int16_t>::max()));
        command->add_option(shape.input, args->input, shape.input_help)->required();
        if (shape.files)
            command->add_option("OUT", args->output, "the file to write; \"-\" is standard output")
                ->required();
        commands.push_back({command, [args, run = shape.run] { return run(*args); }});
    }
}

}  // namespace numtrail::cli

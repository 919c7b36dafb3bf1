// numtrail-crypt commands for cRijndael.
#include <memory>
#include <utility>

#include "crypto/cli/cli.h"
#include "crypto/cli/file_arguments.h"
#include "crypto/cli/password.h"
#include "crypto/rijndael.h"
#include "platform/codepage.h"

namespace numtrail::cli {
namespace {

constexpr char kKeyHelp[] =
    "The key is the password's code page 936 bytes (the password is given in UTF-8), cut or "
    "zero-padded to BITS/8 bytes (--key-bits); every block is enciphered on its own (ECB), without "
    "an "
    "IV, a salt or any key derivation, so for 128 bits \"openssl enc -aes-128-ecb -nopad -K "
    "HEX\" with HEX the 32 hex digits of those bytes reproduces the blocks.";

struct RijndaelArguments {
    PasswordOptions password;
    int key_bits = 128;
    int block_bits = 128;
    std::string input;   // a file, or the text or hex
    std::string output;  // a file
};

int Status(const StderrNotifier& notifier) { return notifier.Shown() ? kExitFailed : kExitOk; }

// What the class wrote goes out even after its warning about the length byte, as it does
// into a file the class writes itself; the command then fails.
int EncryptFile(const RijndaelArguments& args) {
    const Wiped<std::u16string> password = args.password.ReadUtf16();
    const InputArgument input(args.input);
    const OutputArgument output(args.output);
    StderrNotifier notifier;
    cRijndael aes(notifier);
    RunNamingStreams(input, output, [&] {
        aes.FileEncryptSimple(input.Path(), output.Path(), *password, 128, args.key_bits);
    });
    output.Deliver();
    return Status(notifier);
}

int DecryptFile(const RijndaelArguments& args) {
    const Wiped<std::u16string> password = args.password.ReadUtf16();
    const InputArgument input(args.input);
    const OutputArgument output(args.output);
    StderrNotifier notifier;
    cRijndael aes(notifier);
    RunNamingStreams(input, output, [&] {
        aes.FileDecryptSimple(output.Path(), input.Path(), *password, 128, args.key_bits);
    });
    output.Deliver();
    return Status(notifier);
}

int EncryptText(const RijndaelArguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    const std::u16string hex = aes.StringEncrypt(
        Utf8ToUtf16(args.input), *args.password.ReadUtf16(), args.block_bits, args.key_bits);
    PrintLine(hex);
    return Status(notifier);
}

int DecryptText(const RijndaelArguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    const std::u16string text =
        aes.StringDecrypt(Utf8ToUtf16(args.input), *args.password.ReadUtf16(), 128, args.key_bits);
    if (notifier.Shown()) return kExitFailed;
    PrintLine(text);
    return kExitOk;
}

// A subcommand with the options every AES command has; its arguments live as long as the
// action that reads them.
std::pair<CLI::App*, std::shared_ptr<RijndaelArguments>> AddCommand(
    CLI::App& app, const char* name, const std::string& description) {
    auto args = std::make_shared<RijndaelArguments>();
    CLI::App* command = app.add_subcommand(name, description);
    command->footer(kKeyHelp);
    args->password.AddTo(*command);
    command->add_option("--key-bits", args->key_bits, "128 (default), 192 or 256")
        ->type_name("BITS")
        ->check(WholeNumber(INT32_MIN, INT32_MAX));
    return {command, args};
}

void AddFileCommand(CLI::App& app, std::vector<Command>& commands, const char* name,
                    const char* description, int (*run)(const RijndaelArguments&)) {
    auto [command, args] = AddCommand(app, name, description);
    command->add_option("IN", args->input, "the file to read; \"-\" is standard input")->required();
    command->add_option("OUT", args->output, "the file to write; \"-\" is standard output")
        ->required();
    commands.push_back({command, [args, run] { return run(*args); }});
}

}  // namespace

void AddRijndaelCommands(CLI::App& app, std::vector<Command>& commands) {
    AddFileCommand(app, commands, "aes-encrypt-file",
                   "AES of a file: whole blocks, the last block's last byte holding the length "
                   "of the final part (0 to 15)",
                   EncryptFile);
    AddFileCommand(app, commands, "aes-decrypt-file", "the file an AES file holds", DecryptFile);

    auto [encrypt_text, encrypt] = AddCommand(
        app, "aes-encrypt-text", "AES of a text, zero-padded to whole blocks, as hex digits");
    encrypt_text
        ->add_option("--block-bits", encrypt->block_bits,
                     "hex digits in groups of BITS/8 bytes (default 128)")
        ->type_name("BITS")
        ->check(WholeNumber(INT32_MIN, INT32_MAX));
    encrypt_text->add_option("TEXT", encrypt->input, "the text, UTF-8")->required();
    commands.push_back({encrypt_text, [args = encrypt] { return EncryptText(*args); }});

    auto [decrypt_text, decrypt] = AddCommand(
        app, "aes-decrypt-text", "the text AES hex digits hold, with the padding as NULs");
    decrypt_text->add_option("HEX", decrypt->input, "the hex digits, in any spacing or case")
        ->required();
    commands.push_back({decrypt_text, [args = decrypt] { return DecryptText(*args); }});
}

}  // namespace numtrail::cli

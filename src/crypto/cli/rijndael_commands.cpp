// numtrail-crypt commands for cRijndael.
#include "crypto/cli/cli.h"
#include "crypto/rijndael.h"
#include "platform/codepage.h"

namespace numtrail::cli {
namespace {

std::u16string Password(const Arguments& args) {
    const auto password = args.Option("password");
    if (!password) throw UsageError{"--password is required"};
    return Utf8ToUtf16(*password);
}

int Status(const StderrNotifier& notifier) { return notifier.Shown() ? kExitFailed : kExitOk; }

int EncryptFile(const Arguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    aes.FileEncryptSimple(args.positional[0], args.positional[1], Password(args), 128,
                          args.IntOption("key-bits", 128));
    return Status(notifier);
}

int DecryptFile(const Arguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    aes.FileDecryptSimple(args.positional[1], args.positional[0], Password(args), 128,
                          args.IntOption("key-bits", 128));
    return Status(notifier);
}

int EncryptText(const Arguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    const std::u16string hex =
        aes.StringEncrypt(Utf8ToUtf16(args.positional[0]), Password(args),
                          args.IntOption("block-bits", 128), args.IntOption("key-bits", 128));
    PrintLine(hex);
    return Status(notifier);
}

int DecryptText(const Arguments& args) {
    StderrNotifier notifier;
    cRijndael aes(notifier);
    const std::u16string text = aes.StringDecrypt(Utf8ToUtf16(args.positional[0]), Password(args),
                                                  128, args.IntOption("key-bits", 128));
    if (notifier.Shown()) return kExitFailed;
    PrintLine(text);
    return kExitOk;
}

}  // namespace

std::vector<Command> RijndaelCommands() {
    return {
        {"aes-encrypt-file",
         "aes-encrypt-file --password PW [--key-bits 128|192|256] IN OUT",
         {"password", "key-bits"},
         2,
         EncryptFile},
        {"aes-decrypt-file",
         "aes-decrypt-file --password PW [--key-bits N] IN OUT",
         {"password", "key-bits"},
         2,
         DecryptFile},
        {"aes-encrypt-text",
         "aes-encrypt-text --password PW [--block-bits N] [--key-bits N] TEXT",
         {"password", "block-bits", "key-bits"},
         1,
         EncryptText},
        {"aes-decrypt-text",
         "aes-decrypt-text --password PW [--key-bits N] HEX",
         {"password", "key-bits"},
         1,
         DecryptText},
    };
}

}  // namespace numtrail::cli

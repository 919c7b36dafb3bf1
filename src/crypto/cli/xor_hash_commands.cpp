// numtrail-crypt commands for the XOR-hash password cipher.
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>

#include "crypto/cli/cli.h"
#include "crypto/encrypt_decrypt.h"
#include "crypto/rnd_xor_hash.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/random.h"

namespace numtrail::cli {
namespace {

// The cipher with the process's generator, the real clock and messages on standard error.
struct XorHashSession {
    ProcessRandom random;
    SystemClock clock;
    StderrNotifier notifier;
    CRndXorHash cipher{random, clock, notifier};
    std::u16string password;

    explicit XorHashSession(const Arguments& args) {
        // Without --key-size the construction key stays: setting 8 would build another.
        if (args.Option("key-size")) {
            const int value = args.IntOption("key-size", 8);
            if (value < std::numeric_limits<std::int16_t>::min() ||
                value > std::numeric_limits<std::int16_t>::max())
                throw UsageError{"--key-size takes a whole number from -32768 to 32767"};
            cipher.keySize(static_cast<std::int16_t>(value));
        }
        const auto pw = args.Option("password");
        if (!pw) throw UsageError{"--password is required"};
        password = Utf8ToUtf16(*pw);
    }
};

// An empty plaintext is a valid result only for a ciphertext that is nothing but its
// header, and only when the class could hash the password at all; every other empty
// result is a failure the class kept silent.
bool EmptyPlaintextIsGenuine(const XorHashSession& s, const std::u16string& hex) {
    constexpr std::size_t kMaxCount = std::numeric_limits<std::int16_t>::max();
    const auto k = static_cast<std::size_t>(s.cipher.keySize());
    return 3 * k <= kMaxCount && 2 * k + s.password.size() <= kMaxCount &&
           MEncryptDecrypt::HexToString(hex).size() == 3 * k;
}

int EncryptText(const Arguments& args) {
    XorHashSession s(args);
    const std::u16string hex = s.cipher.StringEncrypt(Utf8ToUtf16(args.positional[0]), s.password);
    // Even an empty text gets a header, so an empty result always means failure.
    if (hex.empty() || s.notifier.Shown()) {
        std::cerr << "xor-encrypt-text: the text could not be encrypted\n";
        return kExitFailed;
    }
    PrintLine(hex);
    return kExitOk;
}

int DecryptText(const Arguments& args) {
    XorHashSession s(args);
    const std::u16string hex = Utf8ToUtf16(args.positional[0]);
    const std::u16string text = s.cipher.StringDecrypt(hex, s.password);
    if (s.notifier.Shown()) return kExitFailed;
    if (text.empty() && !EmptyPlaintextIsGenuine(s, hex)) {
        std::cerr << "xor-decrypt-text: the text could not be decrypted\n";
        return kExitFailed;
    }
    PrintLine(text);
    return kExitOk;
}

void NothingWritten(const char* command, const XorHashSession& s) {
    std::cerr << command << ": nothing written";
    if (!s.cipher.LastFileError().empty()) std::cerr << ": " << s.cipher.LastFileError();
    std::cerr << '\n';
}

int EncryptFile(const Arguments& args) {
    XorHashSession s(args);
    const bool written =
        s.cipher.FileEncrypt(std::filesystem::path(args.positional[0]),
                             std::filesystem::path(args.positional[1]), s.password);
    if (!written || s.notifier.Shown()) {
        NothingWritten("xor-encrypt-file", s);
        return kExitFailed;
    }
    return kExitOk;
}

int DecryptFile(const Arguments& args) {
    XorHashSession s(args);
    // Input first: the ciphertext file is read, the plaintext file written.
    const bool written =
        s.cipher.FileDecrypt(std::filesystem::path(args.positional[1]),
                             std::filesystem::path(args.positional[0]), s.password);
    if (!written || s.notifier.Shown()) {
        if (!s.notifier.Shown()) NothingWritten("xor-decrypt-file", s);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

std::vector<Command> XorHashCommands() {
    const std::vector<std::string> options = {"password", "key-size"};
    return {
        {"xor-encrypt-file", "xor-encrypt-file --password PW [--key-size K] IN OUT", options, 2,
         EncryptFile},
        {"xor-decrypt-file", "xor-decrypt-file --password PW [--key-size K] IN OUT", options, 2,
         DecryptFile},
        {"xor-encrypt-text", "xor-encrypt-text --password PW [--key-size K] TEXT", options, 1,
         EncryptText},
        {"xor-decrypt-text", "xor-decrypt-text --password PW [--key-size K] HEX", options, 1,
         DecryptText},
    };
}

}  // namespace numtrail::cli

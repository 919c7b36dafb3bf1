#include "crypto/cli/cli.h"

#include <algorithm>
#include <charconv>
#include <iostream>

#include "platform/codepage.h"

namespace numtrail::cli {

std::optional<std::string> Arguments::Option(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

int Arguments::IntOption(const std::string& name, int fallback) const {
    const auto text = Option(name);
    if (!text) return fallback;
    int value = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc() || end != text->data() + text->size())
        throw UsageError{"--" + name + " takes a whole number, not '" + *text + "'"};
    return value;
}

Arguments ParseArguments(const Command& command, const std::vector<std::string>& words) {
    Arguments args;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() > 2 && word.rfind("--", 0) == 0) {
            const std::string name = word.substr(2);
            if (std::find(command.value_options.begin(), command.value_options.end(), name) ==
                command.value_options.end())
                throw UsageError{"unknown option " + word};
            if (i + 1 >= words.size()) throw UsageError{word + " needs a value"};
            args.options[name] = words[++i];
        } else {
            args.positional.push_back(word);
        }
    }
    if (args.positional.size() != command.positional_count)
        throw UsageError{"usage: numtrail-crypt " + command.usage};
    return args;
}

void StderrNotifier::Notify(std::u16string_view text, NoticeStyle) {
    shown_ = true;
    std::cerr << Utf16ToUtf8(text) << '\n';
}

void PrintLine(std::u16string_view text) { std::cout << Utf16ToUtf8(text) << '\n'; }

}  // namespace numtrail::cli

// FormatLanguageText on any format with any arguments: the result is the format unchanged or a
// text whose length stays within what the conversions can produce, and nothing is read past
// the arguments. Input: up to four arguments (a type byte, then 8 bytes of number or a NUL-ended
// text), then the format as UTF-8.
#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "i18n/format.h"
#include "platform/text.h"

namespace {

// The widest a conversion may be: width and precision are at most 1024 each, and a double
// printed in full has up to 309 digits before the point.
constexpr size_t kMaxConversionLength = 2 * 1024 + 330;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::wstring> texts;
    std::vector<LanguageFormatArg> args;
    texts.reserve(4);
    size_t longestText = 0;
    const size_t count = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 5;
    input.remove_prefix(input.empty() ? 0 : 1);
    for (size_t i = 0; i < count && !input.empty(); ++i) {
        const unsigned char type = static_cast<unsigned char>(input[0]) % 4;
        input.remove_prefix(1);
        if (type == 3) {
            const std::string_view text = input.substr(0, input.find('\0'));
            texts.push_back(platform::Utf8ToWide(text));
            longestText = std::max(longestText, texts.back().size());
            args.emplace_back(texts.back());
            input.remove_prefix(std::min(input.size(), text.size() + 1));
            continue;
        }
        unsigned long long bits = 0;
        std::memcpy(&bits, input.data(), std::min<size_t>(8, input.size()));
        input.remove_prefix(std::min<size_t>(8, input.size()));
        if (type == 0)
            args.emplace_back(static_cast<long long>(bits));
        else if (type == 1)
            args.emplace_back(bits);
        else
            args.emplace_back(std::bit_cast<double>(bits));
    }
    const std::wstring format = platform::Utf8ToWide(input);
    const std::wstring text = FormatLanguageTextWith(format, args.data(), args.size());
    fuzz::Check(
        text == format ||
            text.size() <= format.size() + args.size() * (kMaxConversionLength + longestText),
        "a formatted text is longer than its conversions allow");
    return 0;
}

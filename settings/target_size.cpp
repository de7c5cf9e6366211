#include <cctype>
#include <charconv>
#include <string>

#include "settings/settings.h"

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::uint64_t> ParseTargetSize(std::string_view text, std::uint64_t unitBytes) {
    text = Trimmed(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    std::string unit(Trimmed(std::string_view(end, text.data() + text.size() - end)));
    for (char& c : unit)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (unit.size() == 2 && unit[1] == 'B')
        unit.pop_back();
    const double scale = unit.empty()  ? static_cast<double>(unitBytes)
                         : unit == "B" ? 1
                         : unit == "K" ? 1e3
                         : unit == "M" ? 1e6
                         : unit == "G" ? 1e9
                                       : 0;
    const double bytes = value * scale;
    if (error != std::errc() || scale == 0 || !(bytes >= static_cast<double>(kMinTargetBytes)) ||
        bytes > static_cast<double>(kMaxTargetBytes))
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

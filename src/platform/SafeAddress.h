// Which addresses from a package the player may open. Only web and mail addresses: a package
// must never be able to make the player launch a local file or program. An address without a
// scheme is taken as a web address.
#pragma once

#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

inline std::optional<std::string> SafeAddress(std::string_view address) {
    auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!address.empty() && isSpace(address.front()))
        address.remove_prefix(1);
    while (!address.empty() && isSpace(address.back()))
        address.remove_suffix(1);
    if (address.empty()) return std::nullopt;

    // A scheme is a letter followed by letters, digits, '+', '-' or '.', then a colon.
    size_t end = 0;
    if (std::isalpha(static_cast<unsigned char>(address[0]))) {
        end = 1;
        while (end < address.size()) {
            const auto c = static_cast<unsigned char>(address[end]);
            if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') break;
            ++end;
        }
    }
    const bool hasColon = end > 0 && end < address.size() && address[end] == ':';
    if (!hasColon) return "http://" + std::string(address);

    // "host:8080/path" names a port, not a scheme.
    size_t digits = end + 1;
    while (digits < address.size() && std::isdigit(static_cast<unsigned char>(address[digits])))
        ++digits;
    if (digits > end + 1 && (digits == address.size() || address[digits] == '/'))
        return "http://" + std::string(address);

    std::string scheme;
    for (char c : address.substr(0, end))
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme == "http" || scheme == "https" || scheme == "mailto") return std::string(address);
    return std::nullopt;
}

} // namespace pictorelle

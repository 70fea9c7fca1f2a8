// Which addresses from a package the player may open. Only web and mail addresses: a package
// must never be able to make the player launch a local file or program, nor a mail program
// attach one. An address without a scheme is taken as a web address when it starts like a
// host name; one that starts like a local path is refused.
#pragma once

#include "core/AsciiCase.h"

#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

namespace links {

// The fields a mail program only fills a new message with. Others (attach, file, ...) may make
// it attach a local file, and headers have no business in a package's link.
inline bool IsMessageField(std::string_view name) {
    for (const char* kept : {"subject", "body", "cc", "bcc"})
        if (EqualsIgnoringCase(name, kept)) return true;
    return false;
}

// The recipients and the message fields of a mail address, each as written; a fragment means
// nothing to a mail address and goes too.
inline std::string MailAddress(std::string_view address) {
    address = address.substr(0, address.find('#'));
    const size_t query = address.find('?');
    std::string kept(address.substr(0, query));
    if (query == std::string_view::npos) return kept;
    std::string_view fields = address.substr(query + 1);
    char separator = '?';
    for (;;) {
        const size_t end = fields.find('&');
        const std::string_view field = fields.substr(0, end);
        if (IsMessageField(field.substr(0, field.find('=')))) {
            kept += separator;
            kept += field;
            separator = '&';
        }
        if (end == std::string_view::npos) break;
        fields.remove_prefix(end + 1);
    }
    return kept;
}

// A host name or an IPv6 literal starts with a letter, a digit or '['; "/etc/passwd", "./x",
// "~/x" or "\\server\share" are local paths, and completing them gives no web address.
inline std::optional<std::string> WebAddress(std::string_view address) {
    const auto first = static_cast<unsigned char>(address.front());
    if (!std::isalnum(first) && first != '[') return std::nullopt;
    return "http://" + std::string(address);
}

} // namespace links

// The address to open, or nothing when it may not be opened: http and https addresses as
// they are, mail addresses with only their message fields, and a host name without a scheme
// ("example.org/page", "localhost:8080") completed with http://.
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
    if (!hasColon) return links::WebAddress(address);

    // "host:8080/path" names a port, not a scheme.
    size_t digits = end + 1;
    while (digits < address.size() && std::isdigit(static_cast<unsigned char>(address[digits])))
        ++digits;
    if (digits > end + 1 && (digits == address.size() || address[digits] == '/'))
        return links::WebAddress(address);

    const std::string_view scheme = address.substr(0, end);
    if (EqualsIgnoringCase(scheme, "http") || EqualsIgnoringCase(scheme, "https"))
        return std::string(address);
    if (EqualsIgnoringCase(scheme, "mailto")) return links::MailAddress(address);
    return std::nullopt;
}

} // namespace pictorelle

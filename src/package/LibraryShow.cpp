#include "package/LibraryShow.h"

#include "package/ByteSource.h"
#include "package/CodePage.h"

#include <array>
#include <stdexcept>
#include <vector>

namespace pictorelle {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool StaysAsItIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
}

std::string& Slot(StringBlock& strings, StringId id) { return strings[id]; }

void CheckLength(const std::string& value, const char* what) {
    if (value.size() > static_cast<size_t>(kMaxStringLength))
        throw std::length_error(std::string("the library show's ") + what +
                                " is too long for the package");
}

// Splits "Name=value" lines; the first line is the magic.
std::optional<std::string> ValueOf(std::string_view text, std::string_view name) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.size() > name.size() && line.substr(0, name.size()) == name &&
            line[name.size()] == '=')
            return std::string(line.substr(name.size() + 1));
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

std::string EscapeBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (StaysAsItIs(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> UnescapeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (c < 0x21 || c > 0x7E) {
            return std::nullopt;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void StoreLibraryShow(const TLibraryShow& show, StringBlock& strings) {
    // The reader refuses these as damage, so they are never written.
    if (show.Folder.empty() || show.Folder.front() != '/' ||
        show.Folder.find('\0') != std::string::npos)
        throw std::invalid_argument("the library show's folder must be an absolute path");
    std::string description(kLibraryShowMagic);
    description += "\nFolder=" + EscapeBytes(show.Folder);
    description += show.Recursive ? "\nRecursive=1" : "\nRecursive=0";
    CheckLength(description, "folder");

    ItemRecord record = show.Template;
    record.Offset = record.DataSize = record.StoredSize = 0;
    record.Ext.clear();
    std::array<uint8_t, kItemRecordSize> bytes{};
    EncodeFields(bytes.data(), record, ItemFields());
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }

    CheckLength(show.CaptionTemplate, "caption template");
    Slot(strings, StringId::Reserved4) = std::move(description);
    Slot(strings, StringId::Reserved5) = std::move(hex);
    Slot(strings, StringId::Reserved6) = show.CaptionTemplate;
}

std::optional<TLibraryShow> ReadLibraryShow(const StringBlock& strings) {
    const std::string& description = strings[StringId::Reserved4];
    const std::string_view text(description);
    if (text.substr(0, kLibraryShowMagic.size()) != kLibraryShowMagic ||
        (text.size() > kLibraryShowMagic.size() && text[kLibraryShowMagic.size()] != '\n'))
        return std::nullopt;

    TLibraryShow show;
    const auto folder = ValueOf(text, "Folder");
    const auto unescaped = folder ? UnescapeBytes(*folder) : std::nullopt;
    if (!unescaped || unescaped->empty() || unescaped->front() != '/' ||
        unescaped->find('\0') != std::string::npos)
        throw PackageError("the library show's folder is damaged");
    show.Folder = *unescaped;
    const auto recursive = ValueOf(text, "Recursive");
    if (!recursive || (*recursive != "0" && *recursive != "1"))
        throw PackageError("the library show's recursive choice is damaged");
    show.Recursive = *recursive == "1";

    const std::string& hex = strings[StringId::Reserved5];
    if (hex.size() != static_cast<size_t>(kItemRecordSize) * 2)
        throw PackageError("the library show's item record is damaged");
    std::array<uint8_t, kItemRecordSize> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) throw PackageError("the library show's item record is damaged");
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    DecodeFields(bytes.data(), show.Template, ItemFields());
    for (const auto& f : ItemFields())
        if (f.textMember && f.role == TextRole::Plain)
            show.Template.*f.textMember = ValidUtf8(show.Template.*f.textMember);
    show.Template.Offset = show.Template.DataSize = show.Template.StoredSize = 0;
    show.Template.Ext.clear();
    show.CaptionTemplate = strings[StringId::Reserved6];
    return show;
}

} // namespace pictorelle

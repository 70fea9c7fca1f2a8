#include "Manifest.h"

#include "ItemContent.h"
#include "package/ByteSource.h"
#include "package/CodePage.h"
#include "package/LibraryShow.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace pictorelle {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct Range {
    int64_t min;
    int64_t max;
};

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// Ranges an author may give; fields not listed take any 32-bit value (colours, margins).
const std::map<std::string, Range, std::less<>> kRanges = {
    {"Seconds", {1, 86400}},
    {"DisplayOrder", {0, 2}},
    {"Stretch", {0, 5}},
    {"GradientStyle", {1, 8}},
    {"BackPictureMode", {0, 2}},
    {"EffectSpeed", {1, 10}},
    {"LogoPlacement", {0, 6}},
    {"CaptionPlacement", {0, 6}},
    {"CaptionStyle", {0, 15}},
    {"CaptionSize", {1, 500}},
    {"ItemSeconds", {-2, 86400}},
    {"ItemStretch", {-1, 5}},
    {"PictureFlags", {0, 7}},
    {"MaskType", {0, 255}},
    {"MaskIndex", {-1, kInt32Max}},
    {"EnterSoundIndex", {-1, kInt32Max}},
    {"TextCodePage", {0, 65535}},
};

// Fields the packer computes from the files; an author may not set them.
const std::set<std::string, std::less<>> kComputed = {
    "PackageSize",
    "FileLength",
    "ItemCount",
    "MelodyCount",
    "MaskCount",
    "ItemSectionSize",
    "BackgroundStoredSize",
    "BackgroundDataSize",
    "MaskSectionSize",
    "PreviewSize",
    "MelodySectionSize",
    "BannerSize",
    "FlashControlSize",
    "ExitBannerStoredSize",
    "ExitBannerDataSize",
    "LogoDataSize",
    "LogoStoredSize",
    "EnterSoundSectionSize",
    "EnterSoundCount",
    "Offset",
    "DataSize",
    "StoredSize",
};

// The settings a new show starts from when the manifest does not say otherwise.
PackageHeader DefaultHeader() {
    PackageHeader h;
    h.Seconds = 5;
    h.EffectSpeed = 4;
    h.GradientStyle = 1;
    h.Loop = true;
    h.AllowOwnPlaylist = true;
    h.ExitMouseMove = true;
    h.ExitMouseButton = true;
    h.ExitKeyboard = true;
    h.ExitESC = true;
    h.LogoTransparentColor = kNoColorValue;
    h.LogoPlacement = 4;
    h.LogoX = 10;
    h.LogoY = 10;
    return h;
}

ItemRecord DefaultItem() {
    ItemRecord r;
    r.CaptionPlacement = 5;
    r.CaptionColor = 0xFFFFFF;
    r.CaptionY = 20;
    r.CaptionSize = 20;
    r.CaptionTransparent = 1;
    r.CaptionSmooth = 1;
    r.CaptionShadow = 1;
    return r;
}

std::string AllEffects() {
    std::string s;
    for (int e = 1; e <= 120; ++e)
        s += static_cast<char>(e);
    return s;
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw ManifestError(where + ": " + what);
}

int32_t IntValue(const json& v, const std::string& where) {
    int64_t n = 0;
    if (v.is_number_integer()) {
        n = v.get<int64_t>();
    } else if (v.is_string()) {
        // Colours read best in hexadecimal: "0x00BBGGRR", or "0x80000005" for a system colour.
        const auto s = v.get<std::string>();
        if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') ||
            !std::all_of(s.begin() + 2, s.end(), [](char c) { return std::isxdigit(c); }))
            Fail(where, "expected an integer or a hexadecimal string such as \"0x00FF8000\"");
        const auto u = std::stoull(s.substr(2), nullptr, 16);
        n = static_cast<int32_t>(static_cast<uint32_t>(u));
    } else {
        Fail(where, "expected an integer");
    }
    const std::string name = where.substr(where.rfind('.') + 1);
    const auto range = kRanges.find(name);
    const Range r = range != kRanges.end() ? range->second : Range{kInt32Min, kInt32Max};
    if (n < r.min || n > r.max)
        Fail(where, "must be between " + std::to_string(r.min) + " and " + std::to_string(r.max));
    return static_cast<int32_t>(n);
}

// A text field's value. Plain text stays UTF-8 here and is stored once the whole manifest has
// said which code page its texts need (StoreTexts); selections and extensions are bytes now.
std::string TextValue(const json& v, const std::string& where, TextRole role, int capacity) {
    std::string bytes;
    if (role == TextRole::Selection) {
        if (!v.is_array()) Fail(where, "expected an array of effect numbers 1 to 120");
        for (const auto& e : v) {
            if (!e.is_number_integer() || e.get<int64_t>() < 1 || e.get<int64_t>() > 120)
                Fail(where, "effect numbers run from 1 to 120");
            bytes += static_cast<char>(e.get<int>());
        }
    } else {
        if (!v.is_string()) Fail(where, "expected a string");
        bytes = v.get<std::string>();
        if (role == TextRole::Plain) return bytes;
    }
    if (static_cast<int>(bytes.size()) > capacity)
        Fail(where, "longer than " + std::to_string(capacity) + " bytes");
    if (role == TextRole::Extension && !bytes.empty()) {
        const bool ok = bytes[0] == '.' && bytes.size() >= 2 &&
                        std::all_of(bytes.begin() + 1, bytes.end(),
                                    [](char c) { return std::isalnum(static_cast<uint8_t>(c)); });
        if (!ok) Fail(where, "expected a dot followed by letters or digits, such as \".jpg\"");
    }
    return bytes;
}

// One plain text of the content, where the manifest gave it, and the bytes it may take.
struct TextSlot {
    std::string where;
    std::string* text;
    int capacity;
};

template <class R>
void AddRecordTexts(std::vector<TextSlot>& slots, R& record, std::span<const Field<R>> fields,
                    const std::string& where) {
    for (const auto& f : fields)
        if (f.textMember && f.role == TextRole::Plain)
            slots.push_back(
                {where + "." + f.name, &(record.*f.textMember), TextCapacity(f.kind, f.width)});
}

template <class R>
void AddEntryTexts(std::vector<TextSlot>& slots, std::vector<PackageEntry<R>>& entries,
                   std::span<const Field<R>> fields, const std::string& name) {
    for (size_t i = 0; i < entries.size(); ++i)
        AddRecordTexts(slots, entries[i].Record, fields, name + "[" + std::to_string(i) + "]");
}

std::vector<TextSlot> PlainTexts(PackageContent& c) {
    std::vector<TextSlot> slots;
    for (int i = 0; i < kStringCount; ++i)
        if (static_cast<StringId>(i) != StringId::Effect)
            slots.push_back({std::string("Strings.") + StringName(i),
                             &c.Strings.values[static_cast<size_t>(i)], kMaxStringLength});
    AddRecordTexts(slots, c.Header, HeaderFields(), "Header");
    AddEntryTexts(slots, c.Items, ItemFields(), "Items");
    AddEntryTexts(slots, c.Masks, MaskFields(), "Masks");
    AddEntryTexts(slots, c.EnterSounds, EnterSoundFields(), "EnterSounds");
    AddEntryTexts(slots, c.Melodies, MelodyFields(), "Melodies");
    return slots;
}

// Stores the texts in Windows-1252, as every player reads them, unless one of them needs more
// or the manifest asks for UTF-8; then all of them are UTF-8 and the header says so. A show of
// Windows-1252 texts thus stays the very package it always was. Room is counted in the stored
// bytes, and a UTF-8 character takes up to four of them.
void StoreTexts(PackageContent& c, bool codePageGiven) {
    const int32_t given = c.Header.TextCodePage;
    if (codePageGiven && given != kCodePageWindows1252 && given != kCodePageUtf8)
        Fail("Header.TextCodePage", "must be 1252 (Windows-1252) or 65001 (UTF-8)");
    const std::vector<TextSlot> slots = PlainTexts(c);
    bool utf8 = codePageGiven && given == kCodePageUtf8;
    if (!codePageGiven)
        utf8 = std::any_of(slots.begin(), slots.end(),
                           [](const TextSlot& s) { return !Utf8ToCp1252(*s.text); });
    c.Header.TextCodePage = utf8 ? kCodePageUtf8 : 0;
    for (const TextSlot& s : slots) {
        if (!utf8) {
            const auto converted = Utf8ToCp1252(*s.text);
            if (!converted)
                Fail(s.where, "holds a character that Windows-1252 text cannot store "
                              "(\"TextCodePage\": 65001 stores any text)");
            *s.text = *converted;
        }
        if (static_cast<int>(s.text->size()) > s.capacity)
            Fail(s.where, "longer than " + std::to_string(s.capacity) +
                              (utf8 ? " bytes of UTF-8 (up to four a character)" : " bytes"));
    }
}

// Applies the manifest's values for one record or the header over its defaults.
template <class R>
void ApplyFields(const json& object, R& record, std::span<const Field<R>> fields,
                 const std::string& where, const std::set<std::string, std::less<>>& extra) {
    if (!object.is_object()) Fail(where, "expected an object");
    for (const auto& [key, value] : object.items()) {
        const std::string at = where + "." + key;
        if (extra.contains(key)) continue;
        if (kComputed.contains(key)) Fail(at, "is computed by the packer and cannot be set");
        const auto f = std::find_if(fields.begin(), fields.end(),
                                    [&name = key](const Field<R>& fd) { return name == fd.name; });
        if (f == fields.end()) Fail(at, "unknown field");
        switch (f->kind) {
        case FieldKind::Int32:
        case FieldKind::UInt16:
        case FieldKind::Byte:
            record.*f->int32Member = IntValue(value, at);
            break;
        case FieldKind::Bool:
            if (!value.is_boolean()) Fail(at, "expected true or false");
            record.*f->boolMember = value.template get<bool>();
            break;
        case FieldKind::FixedText:
        case FieldKind::CountedText:
            record.*f->textMember = TextValue(value, at, f->role, TextCapacity(f->kind, f->width));
            break;
        }
    }
}

// The strings that hold a library show's description.
constexpr std::array<StringId, 3> kLibrarySlots = {StringId::Reserved4, StringId::Reserved5,
                                                   StringId::Reserved6};

class ManifestReader {
public:
    ManifestReader(const std::string& path, const TManifestChecks& checks,
                   const std::optional<std::string>& libraryFolder)
        : folder_(fs::path(path).parent_path()), checks_(checks), libraryFolder_(libraryFolder) {
        std::ifstream in(path, std::ios::binary);
        if (!in) Fail(path, "cannot open the manifest");
        try {
            root_ = json::parse(in);
        } catch (const json::exception& e) {
            // Not only syntax: a number too large for any type fails the parse as well.
            Fail(path, std::string("not valid JSON: ") + e.what());
        }
        if (!root_.is_object()) Fail(path, "expected a JSON object at the top");
    }

    PackageContent Read() {
        PackageContent c;
        c.Header = DefaultHeader();
        c.Strings[StringId::Effect] = AllEffects();
        for (const auto& [key, value] : root_.items()) {
            if (key == "Header") {
                ApplyFields(value, c.Header, HeaderFields(), "Header", {});
            } else if (key == "Strings") {
                ReadStrings(value, c.Strings);
            } else if (key == "Sections") {
                ReadSections(value, c);
            } else if (key == "Items") {
                ReadEntries(value, "Items", c.Items, ItemFields(), DefaultItem());
            } else if (key == "Masks") {
                ReadEntries(value, "Masks", c.Masks, MaskFields(), MaskRecord{});
            } else if (key == "EnterSounds") {
                ReadEntries(value, "EnterSounds", c.EnterSounds, EnterSoundFields(),
                            EnterSoundRecord{});
            } else if (key == "Melodies") {
                ReadEntries(value, "Melodies", c.Melodies, MelodyFields(), MelodyRecord{});
            } else if (key == "library") {
                ReadLibrary(value);
            } else if (key == "CompressEntries") {
                if (!value.is_boolean()) Fail(key, "expected true or false");
                c.CompressEntries = value.get<bool>();
            } else {
                Fail(key, "unknown field");
            }
        }
        if (library_) BeginLibrary(c);
        const auto header = root_.find("Header");
        StoreTexts(c, header != root_.end() && header->contains("TextCodePage"));
        if (library_) StoreLibrary(c);
        CheckReferences(c);
        CheckItems(c);
        return c;
    }

private:
    fs::path folder_;
    const TManifestChecks& checks_;
    const std::optional<std::string>& libraryFolder_;
    json root_;
    std::optional<TLibraryShow> library_;

    // "library": the folder whose pictures the show plays where they lie, and the one item
    // every picture of it gets, given by the item fields an item of "Items" takes.
    void ReadLibrary(const json& object) {
        if (!object.is_object()) Fail("library", "expected an object");
        TLibraryShow show;
        show.Template = DefaultItem();
        std::optional<std::string> folder;
        for (const auto& [key, value] : object.items()) {
            const std::string at = "library." + key;
            if (key == "folder") {
                if (!value.is_string() || value.get<std::string>().empty())
                    Fail(at, "expected the library's folder");
                folder = value.get<std::string>();
            } else if (key == "recursive") {
                if (!value.is_boolean()) Fail(at, "expected true or false");
                show.Recursive = value.get<bool>();
            } else if (key == "captions") {
                if (!value.is_string()) Fail(at, "expected a caption template such as \"{name}\"");
                show.CaptionTemplate = value.get<std::string>();
            } else if (key == "item") {
                if (!value.is_object()) Fail(at, "expected an object of item fields");
                for (const char* own : {"File", "Ext"})
                    if (value.contains(own))
                        Fail(at + "." + own, "each picture of a library is its own file");
                ApplyFields(value, show.Template, ItemFields(), at, {});
            } else {
                Fail(at, "unknown field");
            }
        }
        if (libraryFolder_) {
            show.Folder = *libraryFolder_;
        } else {
            if (!folder)
                Fail("library.folder", "missing: the folder whose pictures the show plays");
            fs::path path(*folder);
            if (path.is_relative()) path = folder_ / path;
            show.Folder = LibraryFolderPath(path.string());
        }
        CheckLibraryFolder(show.Folder, "library.folder");
        library_ = std::move(show);
    }

    // Before the texts are stored: a library show has no items, its description takes the
    // reserved strings, and its caption template is a text of the package like any other.
    void BeginLibrary(PackageContent& c) const {
        if (!c.Items.empty())
            Fail("library", "a library show plays its folder's pictures: \"Items\" must be "
                            "left out or empty");
        const auto strings = root_.find("Strings");
        for (const StringId id : kLibrarySlots) {
            const char* name = StringName(static_cast<int>(id));
            if (strings != root_.end() && strings->is_object() && strings->contains(name))
                Fail(std::string("Strings.") + name,
                     "holds the library show's description and cannot be set with \"library\"");
        }
        c.Strings[StringId::Reserved6] = library_->CaptionTemplate;
    }

    // Once the texts are stored: the template item's texts stay UTF-8 whatever the package's
    // code page (its record is stored as hexadecimal digits), and are checked for room as such.
    void StoreLibrary(PackageContent& c) {
        for (const auto& f : ItemFields()) {
            if (!f.textMember || f.role != TextRole::Plain) continue;
            const int capacity = TextCapacity(f.kind, f.width);
            if (static_cast<int>((library_->Template.*f.textMember).size()) > capacity)
                Fail(std::string("library.item.") + f.name,
                     "longer than " + std::to_string(capacity) + " bytes of UTF-8");
        }
        library_->CaptionTemplate = c.Strings[StringId::Reserved6];
        try {
            StoreLibraryShow(*library_, c.Strings);
        } catch (const std::length_error&) {
            Fail("library.folder", "too long for the package (at most " +
                                       std::to_string(kMaxStringLength) + " bytes, escaped)");
        }
    }

    // A show that plays nothing but its background is almost always a mistake: it is made
    // only when the manifest says so and the author confirms it.
    void CheckItems(const PackageContent& c) const {
        if (c.Items.empty() && !library_) {
            if (!root_.contains("Items")) Fail("Items", "missing: a show needs at least one item");
            if (!checks_.allowEmpty)
                Fail("Items", "empty: a show of nothing but its background needs --allow-empty");
        }
        for (size_t i = 0; i < c.Items.size(); ++i) {
            const auto& data = c.Items[i].Data;
            const std::string_view head(reinterpret_cast<const char*>(data.data()),
                                        std::min(data.size(), kItemHeadSize));
            const auto problem = ItemContentProblem(c.Items[i].Record.Ext, head);
            if (!problem) continue;
            const std::string at = "Items[" + std::to_string(i) + "].File";
            if (!checks_.allowBroken) Fail(at, *problem);
            if (checks_.warn) checks_.warn(at + ": " + *problem + " (packed anyway)");
        }
    }

    std::vector<uint8_t> ReadFile(const json& v, const std::string& where, std::string* ext) {
        if (!v.is_string() || v.get<std::string>().empty()) Fail(where, "expected a file name");
        fs::path file = fs::path(v.get<std::string>());
        if (file.is_relative()) file = folder_ / file;
        try {
            auto bytes = ReadWholeFile(file.string());
            if (ext) *ext = file.extension().string();
            return bytes;
        } catch (const std::exception& e) {
            Fail(where, "cannot read " + file.string() + " (" + e.what() + ")");
        }
    }

    static void ReadStrings(const json& object, StringBlock& strings) {
        if (!object.is_object()) Fail("Strings", "expected an object");
        for (const auto& [key, value] : object.items()) {
            const std::string at = "Strings." + key;
            int index = 0;
            while (index < kStringCount && key != StringName(index))
                ++index;
            if (index == kStringCount) Fail(at, "unknown string");
            const auto role = key == "Effect" ? TextRole::Selection : TextRole::Plain;
            strings.values[static_cast<size_t>(index)] =
                TextValue(value, at, role, kMaxStringLength);
        }
    }

    // The fixed pictures; each one's extension comes from its file unless the header sets it.
    void ReadSections(const json& object, PackageContent& c) {
        if (!object.is_object()) Fail("Sections", "expected an object");
        for (const auto& [key, value] : object.items()) {
            const std::string at = "Sections." + key;
            std::string ext;
            auto bytes = ReadFile(value, at, &ext);
            auto setExt = [&](std::string& field, const char* name) {
                if (!field.empty()) return;
                field = TextValue(ext, std::string(at) + " (" + name + ")", TextRole::Extension, 5);
            };
            if (key == "FlashControl")
                c.FlashControl = std::move(bytes);
            else if (key == "Preview")
                c.Preview = std::move(bytes);
            else if (key == "Banner")
                c.Banner = std::move(bytes);
            else if (key == "ExitBanner") {
                c.ExitBanner = std::move(bytes);
                setExt(c.Header.ExitBannerExt, "ExitBannerExt");
            } else if (key == "Logo") {
                c.Logo = std::move(bytes);
                setExt(c.Header.LogoExt, "LogoExt");
            } else if (key == "Background") {
                c.Background = std::move(bytes);
                setExt(c.Header.BackgroundExt, "BackgroundExt");
            } else {
                Fail(at, "unknown section");
            }
        }
    }

    template <class R>
    void ReadEntries(const json& array, const std::string& name,
                     std::vector<PackageEntry<R>>& entries, std::span<const Field<R>> fields,
                     const R& defaults) {
        if (!array.is_array()) Fail(name, "expected an array");
        for (size_t i = 0; i < array.size(); ++i) {
            const std::string at = name + "[" + std::to_string(i) + "]";
            const json& object = array[i];
            if (!object.is_object() || !object.contains("File"))
                Fail(at, "expected an object with a \"File\"");
            PackageEntry<R> entry{defaults, {}};
            std::string ext;
            entry.Data = ReadFile(object["File"], at + ".File", &ext);
            ApplyFields(object, entry.Record, fields, at, {"File"});
            DeriveFromFile(entry.Record, ext, at, object);
            entries.push_back(std::move(entry));
        }
    }

    // The extension, and a mask's type, follow the file's name unless the manifest sets them.
    template <class R>
    static void DeriveFromFile(R& record, const std::string& ext, const std::string& at,
                               const json& object) {
        if constexpr (std::is_same_v<R, MaskRecord>) {
            if (object.contains("MaskType")) return;
            std::string lower = ext;
            for (auto& ch : lower)
                ch = static_cast<char>(std::tolower(static_cast<uint8_t>(ch)));
            if (lower == ".bmp")
                record.MaskType = 0;
            else if (lower == ".png")
                record.MaskType = 1;
            else if (lower == ".gif")
                record.MaskType = 2;
            else
                Fail(at + ".MaskType", "a mask is a .bmp, .png or .gif file");
        } else {
            if (!record.Ext.empty()) return;
            const int capacity = std::is_same_v<R, EnterSoundRecord> ? 7 : 5;
            record.Ext = TextValue(ext, at + ".Ext", TextRole::Extension, capacity);
        }
    }

    void CheckReferences(const PackageContent& c) const {
        for (size_t i = 0; i < c.Items.size(); ++i)
            CheckReferences(c, c.Items[i].Record, "Items[" + std::to_string(i) + "]");
        if (library_) CheckReferences(c, library_->Template, "library.item");
    }

    static void CheckReferences(const PackageContent& c, const ItemRecord& r,
                                const std::string& at) {
        if (r.MaskIndex >= static_cast<int32_t>(c.Masks.size()))
            Fail(at + ".MaskIndex", "names a mask the manifest does not have");
        if (r.EnterSoundIndex >= static_cast<int32_t>(c.EnterSounds.size()))
            Fail(at + ".EnterSoundIndex", "names an enter sound the manifest does not have");
        if (r.ItemEffectSpeed != -1 && (r.ItemEffectSpeed < 1 || r.ItemEffectSpeed > 10))
            Fail(at + ".ItemEffectSpeed", "must be -1 (use the global effects) or 1 to 10");
    }
};

} // namespace

PackageContent LoadManifest(const std::string& path, const TManifestChecks& checks,
                            const std::optional<std::string>& libraryFolder) {
    return ManifestReader(path, checks, libraryFolder).Read();
}

std::string LibraryFolderPath(const std::string& folder) {
    std::string path = fs::absolute(fs::path(folder)).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

void CheckLibraryFolder(const std::string& folder, const std::string& where) {
    std::error_code error;
    const auto status = fs::status(folder, error);
    if (status.type() == fs::file_type::not_found) Fail(where, folder + ": no such folder");
    if (error) Fail(where, folder + ": cannot be looked at (" + error.message() + ")");
    if (status.type() != fs::file_type::directory) Fail(where, folder + ": not a folder");
}

} // namespace pictorelle

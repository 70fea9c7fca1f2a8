#include "Dump.h"

#include "package/CodePage.h"
#include "package/LibraryShow.h"

namespace pictorelle {
namespace {

using json = nlohmann::ordered_json;

// The reader gives texts as UTF-8 already; an extension is bytes, shown as the player names its
// temporary file (a damaged package's stray byte still prints).
json TextJson(const std::string& bytes, TextRole role) {
    if (role == TextRole::Plain) return bytes;
    if (role == TextRole::Extension) return Cp1252ToUtf8(bytes);
    json numbers = json::array();
    for (char c : bytes)
        numbers.push_back(static_cast<uint8_t>(c));
    return numbers;
}

template <class R> json FieldsJson(const R& record, std::span<const Field<R>> fields) {
    json out = json::object();
    for (const auto& f : fields) {
        switch (f.kind) {
        case FieldKind::Int32:
        case FieldKind::UInt16:
        case FieldKind::Byte:
            out[f.name] = record.*f.int32Member;
            break;
        case FieldKind::Bool:
            out[f.name] = record.*f.boolMember;
            break;
        case FieldKind::FixedText:
        case FieldKind::CountedText:
            out[f.name] = TextJson(record.*f.textMember, f.role);
            break;
        }
    }
    return out;
}

template <class R>
json RecordsJson(const std::vector<R>& records, std::span<const Field<R>> fields) {
    json out = json::array();
    for (const auto& r : records)
        out.push_back(FieldsJson(r, fields));
    return out;
}

// A library show's description, with the members a manifest's "library" takes. The template
// item leaves out what each picture's own file gives (extension and location).
json LibraryJson(const TLibraryShow& library) {
    json out = json::object();
    out["folder"] = ValidUtf8(library.Folder);
    // A name that is not UTF-8 is shown as well as its exact bytes.
    if (!IsValidUtf8(library.Folder)) out["folderBytes"] = EscapeBytes(library.Folder);
    out["recursive"] = library.Recursive;
    out["captions"] = library.CaptionTemplate;
    json item = FieldsJson(library.Template, ItemFields());
    for (const char* own : {"Offset", "DataSize", "StoredSize", "Ext"})
        item.erase(own);
    out["item"] = item;
    return out;
}

} // namespace

json DumpPackage(const Package& p) {
    json out = json::object();
    out["PackageStart"] = p.PackageStart;
    out["Header"] = FieldsJson(p.Header, HeaderFields());
    json strings = json::object();
    for (int i = 0; i < kStringCount; ++i) {
        const auto role =
            static_cast<StringId>(i) == StringId::Effect ? TextRole::Selection : TextRole::Plain;
        strings[StringName(i)] = TextJson(p.Strings.values[static_cast<size_t>(i)], role);
    }
    out["Strings"] = strings;
    out["Items"] = RecordsJson(p.Items, ItemFields());
    if (const auto library = ReadLibraryShow(p.Strings)) out["library"] = LibraryJson(*library);
    out["Masks"] = RecordsJson(p.Masks, MaskFields());
    out["EnterSounds"] = RecordsJson(p.EnterSounds, EnterSoundFields());
    out["Melodies"] = RecordsJson(p.Melodies, MelodyFields());
    return out;
}

} // namespace pictorelle

#include "package/PackageLayout.h"

#include "package/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pictorelle {
namespace {

template <class R> constexpr Field<R> Int(const char* name, int offset, int32_t R::*m) {
    return {name, offset, FieldKind::Int32, 4, m, nullptr, nullptr};
}
template <class R> constexpr Field<R> UInt16(const char* name, int offset, int32_t R::*m) {
    return {name, offset, FieldKind::UInt16, 2, m, nullptr, nullptr};
}
template <class R> constexpr Field<R> Byte(const char* name, int offset, int32_t R::*m) {
    return {name, offset, FieldKind::Byte, 1, m, nullptr, nullptr};
}
template <class R> constexpr Field<R> Flag(const char* name, int offset, bool R::*m) {
    return {name, offset, FieldKind::Bool, 1, nullptr, m, nullptr};
}
template <class R>
constexpr Field<R> Fixed(const char* name, int offset, int width, std::string R::*m, TextRole role) {
    return {name, offset, FieldKind::FixedText, width, nullptr, nullptr, m, role};
}
template <class R>
constexpr Field<R> Counted(const char* name, int offset, int width, std::string R::*m,
                           TextRole role) {
    return {name, offset, FieldKind::CountedText, width, nullptr, nullptr, m, role};
}

using H = PackageHeader;
constexpr Field<H> kHeaderFields[] = {
    Int<H>("PackageSize", 0, &H::PackageSize),
    Int<H>("FileLength", 4, &H::FileLength),
    Int<H>("ItemCount", 8, &H::ItemCount),
    Int<H>("MelodyCount", 12, &H::MelodyCount),
    Int<H>("MaskCount", 16, &H::MaskCount),
    Int<H>("Seconds", 20, &H::Seconds),
    Int<H>("DisplayOrder", 24, &H::DisplayOrder),
    Int<H>("ItemSectionSize", 28, &H::ItemSectionSize),
    Int<H>("BackgroundStoredSize", 32, &H::BackgroundStoredSize),
    Int<H>("BackgroundDataSize", 36, &H::BackgroundDataSize),
    Int<H>("MaskSectionSize", 40, &H::MaskSectionSize),
    Int<H>("PreviewSize", 44, &H::PreviewSize),
    Int<H>("MelodySectionSize", 48, &H::MelodySectionSize),
    Int<H>("BannerSize", 56, &H::BannerSize),
    Int<H>("FlashControlSize", 60, &H::FlashControlSize),
    Int<H>("ExitBannerStoredSize", 64, &H::ExitBannerStoredSize),
    Int<H>("ExitBannerDataSize", 68, &H::ExitBannerDataSize),
    Int<H>("LogoDataSize", 72, &H::LogoDataSize),
    Int<H>("LogoStoredSize", 76, &H::LogoStoredSize),
    Int<H>("EnterSoundSectionSize", 80, &H::EnterSoundSectionSize),
    Int<H>("EnterSoundCount", 84, &H::EnterSoundCount),
    Int<H>("BackColor", 88, &H::BackColor),
    Int<H>("BackColor2", 92, &H::BackColor2),
    Int<H>("GradientStyle", 96, &H::GradientStyle),
    Int<H>("BackPictureMode", 100, &H::BackPictureMode),
    Flag<H>("DesktopSnapshot", 104, &H::DesktopSnapshot),
    Flag<H>("RandomColors", 105, &H::RandomColors),
    Flag<H>("RandomGradient", 106, &H::RandomGradient),
    Flag<H>("RepaintBackgroundPerItem", 107, &H::RepaintBackgroundPerItem),
    Int<H>("Stretch", 108, &H::Stretch),
    Flag<H>("Loop", 112, &H::Loop),
    Flag<H>("Mute", 113, &H::Mute),
    Flag<H>("ShuffleMelody", 114, &H::ShuffleMelody),
    Flag<H>("DesktopStart", 115, &H::DesktopStart),
    Flag<H>("ShowFirstItemOnce", 116, &H::ShowFirstItemOnce),
    Flag<H>("MuteVideo", 117, &H::MuteVideo),
    Flag<H>("AllowOwnPlaylist", 118, &H::AllowOwnPlaylist),
    Flag<H>("PlayOneRandom", 119, &H::PlayOneRandom),
    Flag<H>("ExitMouseMove", 120, &H::ExitMouseMove),
    Flag<H>("ExitMouseButton", 121, &H::ExitMouseButton),
    Flag<H>("ExitKeyboard", 122, &H::ExitKeyboard),
    Flag<H>("ExitESC", 123, &H::ExitESC),
    Flag<H>("DisableTwoMonitors", 124, &H::DisableTwoMonitors),
    Flag<H>("HideGeneralTab", 125, &H::HideGeneralTab),
    Flag<H>("HidePositionTab", 126, &H::HidePositionTab),
    Flag<H>("HideEffectsTab", 127, &H::HideEffectsTab),
    Flag<H>("HideSoundTab", 128, &H::HideSoundTab),
    Flag<H>("HideBehaviorTab", 129, &H::HideBehaviorTab),
    // Two bytes the original layout leaves unused: older packages carry 0 here.
    UInt16<H>("TextCodePage", 130, &H::TextCodePage),
    Int<H>("EffectSpeed", 132, &H::EffectSpeed),
    Fixed<H>("BackgroundExt", 136, 5, &H::BackgroundExt, TextRole::Extension),
    Fixed<H>("ExitBannerExt", 141, 5, &H::ExitBannerExt, TextRole::Extension),
    Fixed<H>("LogoExt", 146, 5, &H::LogoExt, TextRole::Extension),
    Int<H>("LogoPlacement", 200, &H::LogoPlacement),
    Int<H>("LogoX", 204, &H::LogoX),
    Int<H>("LogoY", 208, &H::LogoY),
    Int<H>("LogoTransparentColor", 212, &H::LogoTransparentColor),
    Flag<H>("AllowStandalone", 216, &H::AllowStandalone),
};

// The locating fields every record kind starts with.
#define PICTORELLE_ENTRY_FIELDS(R)                                                                \
    Int<R>("Offset", 0, &R::Offset), Int<R>("DataSize", 4, &R::DataSize),                         \
        Int<R>("StoredSize", 8, &R::StoredSize)

using I = ItemRecord;
constexpr Field<I> kItemFields[] = {
    PICTORELLE_ENTRY_FIELDS(I),
    Fixed<I>("Ext", 12, 5, &I::Ext, TextRole::Extension),
    Int<I>("CaptionPlacement", 20, &I::CaptionPlacement),
    Int<I>("CaptionColor", 24, &I::CaptionColor),
    Int<I>("CaptionX", 28, &I::CaptionX),
    Int<I>("CaptionY", 32, &I::CaptionY),
    Int<I>("CaptionBackColor", 36, &I::CaptionBackColor),
    Counted<I>("CaptionFont", 40, 252, &I::CaptionFont, TextRole::Plain),
    Int<I>("CaptionStyle", 292, &I::CaptionStyle),
    Int<I>("CaptionSize", 296, &I::CaptionSize),
    Counted<I>("CaptionText", 300, 252, &I::CaptionText, TextRole::Plain),
    Int<I>("CaptionTransparent", 552, &I::CaptionTransparent),
    Int<I>("CaptionSmooth", 556, &I::CaptionSmooth),
    Int<I>("CaptionShadow", 560, &I::CaptionShadow),
    Int<I>("ItemSeconds", 564, &I::ItemSeconds),
    Int<I>("ItemStretch", 568, &I::ItemStretch),
    Int<I>("MaskIndex", 572, &I::MaskIndex),
    Int<I>("EnterSoundIndex", 576, &I::EnterSoundIndex),
    Int<I>("PictureFlags", 580, &I::PictureFlags),
    Counted<I>("ItemEffect", 584, 252, &I::ItemEffect, TextRole::Selection),
    Int<I>("ItemEffectSpeed", 836, &I::ItemEffectSpeed),
};

using M = MaskRecord;
constexpr Field<M> kMaskFields[] = {
    PICTORELLE_ENTRY_FIELDS(M),
    Byte<M>("MaskType", 12, &M::MaskType),
};

using E = EnterSoundRecord;
constexpr Field<E> kEnterSoundFields[] = {
    PICTORELLE_ENTRY_FIELDS(E),
    Counted<E>("Ext", 12, 8, &E::Ext, TextRole::Extension),
};

using L = MelodyRecord;
constexpr Field<L> kMelodyFields[] = {
    PICTORELLE_ENTRY_FIELDS(L),
    Fixed<L>("Ext", 12, 5, &L::Ext, TextRole::Extension),
};

#undef PICTORELLE_ENTRY_FIELDS

constexpr const char* kStringNames[kStringCount] = {
    "SaverTitle",      "AboutText",       "WebsiteAddress",        "Reserved4",  "Reserved5",
    "Reserved6",       "Reserved7",       "Reserved8",             "Reserved9",  "Reserved10",
    "F1LinkAddress",   "ExitLinkAddress", "BannerLinkAddress",     "ExitBannerLinkAddress",
    "Reserved15",      "Reserved16",      "Effect",                "InterfaceTexts",
};

std::string DecodeText(const uint8_t* p, FieldKind kind, int width) {
    if (kind == FieldKind::FixedText) {
        const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(width)));
        const size_t n = end ? static_cast<size_t>(end - p) : static_cast<size_t>(width);
        return {reinterpret_cast<const char*>(p), n};
    }
    // A length byte larger than the room behind it is clamped rather than read past the field.
    const size_t n = std::min<size_t>(p[0], static_cast<size_t>(width - 1));
    return {reinterpret_cast<const char*>(p + 1), n};
}

void EncodeText(uint8_t* p, const std::string& text, const char* name, FieldKind kind, int width) {
    const size_t room = static_cast<size_t>(TextCapacity(kind, width));
    if (text.size() > room)
        throw std::length_error(std::string(name) + ": longer than " + std::to_string(room) +
                                " bytes");
    const size_t n = text.size();
    if (kind == FieldKind::FixedText) {
        std::memset(p, 0, static_cast<size_t>(width));
        std::memcpy(p, text.data(), n);
        return;
    }
    std::memset(p, 0, static_cast<size_t>(width));
    p[0] = static_cast<uint8_t>(n);
    std::memcpy(p + 1, text.data(), n);
}

} // namespace

std::span<const Field<PackageHeader>> HeaderFields() { return kHeaderFields; }
std::span<const Field<ItemRecord>> ItemFields() { return kItemFields; }
std::span<const Field<MaskRecord>> MaskFields() { return kMaskFields; }
std::span<const Field<EnterSoundRecord>> EnterSoundFields() { return kEnterSoundFields; }
std::span<const Field<MelodyRecord>> MelodyFields() { return kMelodyFields; }

int TextCapacity(FieldKind kind, int width) {
    if (kind == FieldKind::FixedText) return width;
    if (kind == FieldKind::CountedText) return std::min(width - 1, 255);
    return 0;
}

template <class R>
void DecodeFields(const uint8_t* bytes, R& record, std::span<const Field<R>> fields) {
    for (const auto& f : fields) {
        const uint8_t* p = bytes + f.offset;
        switch (f.kind) {
        case FieldKind::Int32: record.*f.int32Member = LoadInt32LE(p); break;
        case FieldKind::UInt16:
            record.*f.int32Member = LoadUInt16LE(p);
            break;
        case FieldKind::Byte: record.*f.int32Member = p[0]; break;
        case FieldKind::Bool: record.*f.boolMember = p[0] != 0; break;
        case FieldKind::FixedText:
        case FieldKind::CountedText: record.*f.textMember = DecodeText(p, f.kind, f.width); break;
        }
    }
}

template <class R>
void EncodeFields(uint8_t* bytes, const R& record, std::span<const Field<R>> fields) {
    for (const auto& f : fields) {
        uint8_t* p = bytes + f.offset;
        switch (f.kind) {
        case FieldKind::Int32: StoreInt32LE(p, record.*f.int32Member); break;
        case FieldKind::UInt16:
            StoreUInt16LE(p, static_cast<uint16_t>(record.*f.int32Member));
            break;
        case FieldKind::Byte: p[0] = static_cast<uint8_t>(record.*f.int32Member); break;
        case FieldKind::Bool: p[0] = record.*f.boolMember ? 1 : 0; break;
        case FieldKind::FixedText:
        case FieldKind::CountedText:
            EncodeText(p, record.*f.textMember, f.name, f.kind, f.width);
            break;
        }
    }
}

#define PICTORELLE_INSTANTIATE(R)                                                                 \
    template void DecodeFields<R>(const uint8_t*, R&, std::span<const Field<R>>);                 \
    template void EncodeFields<R>(uint8_t*, const R&, std::span<const Field<R>>);
PICTORELLE_INSTANTIATE(PackageHeader)
PICTORELLE_INSTANTIATE(ItemRecord)
PICTORELLE_INSTANTIATE(MaskRecord)
PICTORELLE_INSTANTIATE(EnterSoundRecord)
PICTORELLE_INSTANTIATE(MelodyRecord)
#undef PICTORELLE_INSTANTIATE

const char* StringName(int index) {
    return index >= 0 && index < kStringCount ? kStringNames[index] : "";
}

std::array<int64_t, 10> SectionLengths(const PackageHeader& h) {
    return {h.FlashControlSize,     h.PreviewSize,     h.BannerSize,
            h.ExitBannerStoredSize, h.LogoStoredSize,  h.ItemSectionSize,
            h.MaskSectionSize,      h.EnterSoundSectionSize, h.BackgroundStoredSize,
            h.MelodySectionSize};
}

std::string SafeExtension(std::string_view ext) {
    const bool unsafe = ext.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos ||
                        ext.find("..") != std::string_view::npos;
    return unsafe ? std::string() : std::string(ext);
}

} // namespace pictorelle

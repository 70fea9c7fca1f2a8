// Byte layout of the package appended to the player: the trailer, the 220-byte header, the
// string block and the four record kinds. Each layout is a table of named fields so that the
// reader, the writer, the packer's manifest and its JSON dump all walk the same description.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pictorelle {

inline constexpr std::string_view kPackageMagic = "Zanthorpex";
inline constexpr int kHeaderSize = 220;
inline constexpr int kTrailerSize = kHeaderSize + 10;
inline constexpr int kItemRecordSize = 840;
inline constexpr int kMaskRecordSize = 16;
inline constexpr int kEnterSoundRecordSize = 20;
inline constexpr int kMelodyRecordSize = 840;
inline constexpr int kStringCount = 18;
inline constexpr int kMaxStringLength = 65535;
inline constexpr int32_t kNoColorValue = 0x1FFFFFFF;

// The code page of a package's texts, by its Windows number. A package says UTF-8 in its
// header's TextCodePage; any other value there (older packages hold 0) means Windows-1252.
inline constexpr int32_t kCodePageWindows1252 = 1252;
inline constexpr int32_t kCodePageUtf8 = 65001;

struct PackageHeader {
    int32_t PackageSize = 0;
    int32_t FileLength = 0;
    int32_t ItemCount = 0;
    int32_t MelodyCount = 0;
    int32_t MaskCount = 0;
    int32_t Seconds = 0;
    int32_t DisplayOrder = 0;
    int32_t ItemSectionSize = 0;
    int32_t BackgroundStoredSize = 0;
    int32_t BackgroundDataSize = 0;
    int32_t MaskSectionSize = 0;
    int32_t PreviewSize = 0;
    int32_t MelodySectionSize = 0;
    int32_t BannerSize = 0;
    int32_t FlashControlSize = 0;
    int32_t ExitBannerStoredSize = 0;
    int32_t ExitBannerDataSize = 0;
    int32_t LogoDataSize = 0;
    int32_t LogoStoredSize = 0;
    int32_t EnterSoundSectionSize = 0;
    int32_t EnterSoundCount = 0;
    int32_t BackColor = 0;
    int32_t BackColor2 = 0;
    int32_t GradientStyle = 0;
    int32_t BackPictureMode = 0;
    bool DesktopSnapshot = false;
    bool RandomColors = false;
    bool RandomGradient = false;
    bool RepaintBackgroundPerItem = false;
    int32_t Stretch = 0;
    bool Loop = false;
    bool Mute = false;
    bool ShuffleMelody = false;
    bool DesktopStart = false;
    bool ShowFirstItemOnce = false;
    bool MuteVideo = false;
    bool AllowOwnPlaylist = false;
    bool PlayOneRandom = false;
    bool ExitMouseMove = false;
    bool ExitMouseButton = false;
    bool ExitKeyboard = false;
    bool ExitESC = false;
    bool DisableTwoMonitors = false;
    bool HideGeneralTab = false;
    bool HidePositionTab = false;
    bool HideEffectsTab = false;
    bool HideSoundTab = false;
    bool HideBehaviorTab = false;
    int32_t TextCodePage = 0;
    int32_t EffectSpeed = 0;
    std::string BackgroundExt;
    std::string ExitBannerExt;
    std::string LogoExt;
    int32_t LogoPlacement = 0;
    int32_t LogoX = 0;
    int32_t LogoY = 0;
    int32_t LogoTransparentColor = 0;
    bool AllowStandalone = false;

    // The string block's texts and the items' captions and fonts are UTF-8.
    bool HasUtf8Texts() const { return TextCodePage == kCodePageUtf8; }
};

// The three values that locate an entry. StoredSize > 0 means a zlib stream of StoredSize
// bytes inflating to DataSize bytes; otherwise DataSize raw bytes.
struct EntryRecord {
    int32_t Offset = 0;
    int32_t DataSize = 0;
    int32_t StoredSize = 0;
    bool Compressed() const { return StoredSize > 0; }
};

struct ItemRecord : EntryRecord {
    std::string Ext;
    int32_t CaptionPlacement = 0;
    int32_t CaptionColor = 0;
    int32_t CaptionX = 0;
    int32_t CaptionY = 0;
    int32_t CaptionBackColor = 0;
    std::string CaptionFont;
    int32_t CaptionStyle = 0;
    int32_t CaptionSize = 0;
    std::string CaptionText;
    int32_t CaptionTransparent = 0;
    int32_t CaptionSmooth = 0;
    int32_t CaptionShadow = 0;
    int32_t ItemSeconds = 0;
    int32_t ItemStretch = -1;
    int32_t MaskIndex = -1;
    int32_t EnterSoundIndex = -1;
    int32_t PictureFlags = 0;
    std::string ItemEffect;
    int32_t ItemEffectSpeed = -1;
};

struct MaskRecord : EntryRecord {
    int32_t MaskType = 0;
};

struct EnterSoundRecord : EntryRecord {
    std::string Ext;
};

struct MelodyRecord : EntryRecord {
    std::string Ext;
};

// How a field is stored. FixedText is NUL-padded and ends at the first NUL or the field's end;
// CountedText is one length byte followed by up to width - 1 characters.
enum class FieldKind { Int32, UInt16, Byte, Bool, FixedText, CountedText };

// What a text field holds, for the manifest and the dump: a file extension, a selection of
// effect numbers, or plain text.
enum class TextRole { Plain, Extension, Selection };

template <class R> struct Field {
    const char* name;
    int offset;
    FieldKind kind;
    int width;
    int32_t R::*int32Member = nullptr;
    bool R::*boolMember = nullptr;
    std::string R::*textMember = nullptr;
    TextRole role = TextRole::Plain;
};

std::span<const Field<PackageHeader>> HeaderFields();
std::span<const Field<ItemRecord>> ItemFields();
std::span<const Field<MaskRecord>> MaskFields();
std::span<const Field<EnterSoundRecord>> EnterSoundFields();
std::span<const Field<MelodyRecord>> MelodyFields();

// Field values are decoded from and encoded to a record-sized byte block. Decoding is total:
// any bytes give some record (lengths are clamped to the field's room). Encoding throws
// std::length_error naming the field when a text does not fit its room: cutting it could split
// a character.
template <class R> void DecodeFields(const uint8_t* bytes, R& record, std::span<const Field<R>> fields);
template <class R> void EncodeFields(uint8_t* bytes, const R& record, std::span<const Field<R>> fields);

// Largest text a text field can hold.
int TextCapacity(FieldKind kind, int width);

// The string block.
enum class StringId {
    SaverTitle,
    AboutText,
    WebsiteAddress,
    Reserved4,
    Reserved5,
    Reserved6,
    Reserved7,
    Reserved8,
    Reserved9,
    Reserved10,
    F1LinkAddress,
    ExitLinkAddress,
    BannerLinkAddress,
    ExitBannerLinkAddress,
    Reserved15,
    Reserved16,
    Effect,
    InterfaceTexts,
};

struct StringBlock {
    std::array<std::string, kStringCount> values;
    const std::string& operator[](StringId id) const { return values[static_cast<size_t>(id)]; }
    std::string& operator[](StringId id) { return values[static_cast<size_t>(id)]; }
};

const char* StringName(int index);

// The package's sections in file order, numbered as the format counts them. Each follows the
// one before without a gap; the string block has no length of its own in the header.
enum class SectionId {
    FlashControl = 1,
    Preview,
    Banner,
    ExitBanner,
    Logo,
    Items,
    Masks,
    EnterSounds,
    Background,
    Melodies,
    Strings,
};

// Section lengths as the header gives them, in file order (FlashControl to Melodies).
std::array<int64_t, 10> SectionLengths(const PackageHeader& header);

// A file extension that is safe to append to a fixed temporary name: anything holding a path
// separator, a NUL or a ".." is replaced by nothing, so an entry can never be written outside
// the temporary folder.
std::string SafeExtension(std::string_view ext);

} // namespace pictorelle

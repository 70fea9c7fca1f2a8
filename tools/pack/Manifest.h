// The packer's manifest: a JSON description of a show (settings, texts and the files of its
// pictures, sounds and fixed pictures), turned into package content.
#pragma once

#include "core/Error.h"
#include "package/PackageWriter.h"

#include <functional>
#include <optional>
#include <string>

namespace pictorelle {

// A manifest that cannot be packed; the message names the offending field.
class ManifestError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

// What a manifest may leave to the author's judgement.
struct TManifestChecks {
    // An item whose file is not the picture, video or movie its extension says is packed
    // anyway, told to warn instead of failing the run.
    bool allowBroken = false;
    // A manifest that says "Items": [] makes a show of nothing but its background.
    bool allowEmpty = false;
    std::function<void(const std::string&)> warn;
};

// Reads the manifest and every file it names (relative paths count from the manifest's folder).
// Every item's first bytes must be the kind its extension says, and a show needs items,
// unless checks allow otherwise, or it is a library show ("library"), which has none and
// carries its description in the reserved strings. libraryFolder, when given, is the
// library's folder as the file system's bytes, in place of the manifest's "library"."folder":
// a JSON text is UTF-8, a folder's name need not be.
PackageContent LoadManifest(const std::string& path, const TManifestChecks& checks = {},
                            const std::optional<std::string>& libraryFolder = std::nullopt);

// A library's folder as a library show stores it: absolute (from the working folder), in
// lexical normal form, without a trailing slash. Links are not resolved: the show follows the
// folder's name, so a link that is later pointed elsewhere takes the show with it.
std::string LibraryFolderPath(const std::string& folder);

// Throws ManifestError naming the folder unless it is a folder now.
void CheckLibraryFolder(const std::string& folder, const std::string& where);

} // namespace pictorelle

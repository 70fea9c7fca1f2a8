// The packer's manifest: a JSON description of a show (settings, texts and the files of its
// pictures, sounds and fixed pictures), turned into package content.
#pragma once

#include "core/Error.h"
#include "package/PackageWriter.h"

#include <string>

namespace pictorelle {

// A manifest that cannot be packed; the message names the offending field.
class ManifestError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

// Reads the manifest and every file it names (relative paths count from the manifest's folder).
PackageContent LoadManifest(const std::string& path);

} // namespace pictorelle

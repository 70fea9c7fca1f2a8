// The packer's manifest: a JSON description of a show (settings, texts and the files of its
// pictures, sounds and fixed pictures), turned into package content.
#pragma once

#include "package/PackageWriter.h"

#include <stdexcept>
#include <string>

namespace pictorelle {

// A manifest that cannot be packed; the message names the offending field.
class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the manifest and every file it names (relative paths count from the manifest's folder).
PackageContent LoadManifest(const std::string& path);

} // namespace pictorelle

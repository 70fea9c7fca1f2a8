// The package of a show as JSON, keyed by the layout's own field names.
#pragma once

#include "package/PackageReader.h"

#include <nlohmann/json.hpp>

namespace pictorelle {

nlohmann::ordered_json DumpPackage(const Package& package);

} // namespace pictorelle

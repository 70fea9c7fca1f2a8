// Opening a web or mail address with the user's default handler.
#pragma once

#include <string_view>

namespace pictorelle {

// The address is package text as the reader gives it (UTF-8). Only http, https and mailto addresses
// are opened (one without a scheme becomes http); anything else is refused. Returns whether the
// handler was started. Does not wait for it.
bool OpenAddress(std::string_view packageText);

} // namespace pictorelle

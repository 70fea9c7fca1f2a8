// The one base of the errors this program raises itself: a broken package (PackageError), a
// picture that cannot be decoded (ImageError), a settings store that cannot be used
// (RegistryError), a missing Flash player (FlashPlayerUnavailable), and the failures that have
// no type of their own, thrown as PictorelleError.
//
// Loaders that skip one item, mask or logo catch this type (and std::bad_alloc where a huge
// picture may run out of memory) rather than std::exception, so that a programming error such
// as Div's std::domain_error is never taken for a broken picture. Libraries' own ways of
// failing are turned into one of these types where the library is called.
#pragma once

#include <stdexcept>

namespace pictorelle {

class PictorelleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace pictorelle

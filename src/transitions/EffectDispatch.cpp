// From an effect's family to the routine that draws it. A new family is one line here.
#include "transitions/EffectCatalogue.h"
#include "transitions/TransThread.h"

namespace pictorelle {

TEffectRoutine FamilyRoutine(EffectFamily family) {
    switch (family) {
    case EffectFamily::BoxOut: return RunBoxOut;
    case EffectFamily::BoxIn: return RunBoxIn;
    default: return nullptr;
    }
}

} // namespace pictorelle

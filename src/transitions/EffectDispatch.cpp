// From an effect's family to the routine that draws it. A new family is one line here.
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"

namespace pictorelle {

TEffectRoutine FamilyRoutine(EffectFamily family) {
    // clang-format off
    switch (family) {
    case EffectFamily::Slide: return RunSlideFamily;
    case EffectFamily::Reveal: return RunRevealFamily;
    case EffectFamily::LineDrop: return RunLineDrop;
    case EffectFamily::BoxOut: return RunBoxOut;
    case EffectFamily::BoxIn: return RunBoxIn;
    case EffectFamily::Ellipse: return RunEllipseFamily;
    case EffectFamily::Shape: return RunShapeFamily;
    case EffectFamily::Random: return RunRandomFamily;
    case EffectFamily::Sweep: return RunSweepFamily;
    case EffectFamily::Zoom: return RunZoomFamily;
    case EffectFamily::Fade: return RunFadeFamily;
    case EffectFamily::FadeUnfold: return RunFadeUnfoldFamily;
    }
    // clang-format on
    return nullptr; // every family has its routine; the compiler warns when one is missing
}

} // namespace pictorelle

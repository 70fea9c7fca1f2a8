// The effect families: one routine per family draws every member of it, given the member's
// number within the family (its `local` number in the catalogue, from 1). The engine reaches
// them only through FamilyRoutine, from an effect's family; each routine builds its pieces and
// steps them one frame at a time in TTransThread::RunFrames, and paints nothing after its last
// frame (the engine's final paint shows the whole new picture).
#pragma once

namespace pictorelle {

class TTransThread;
enum class EffectFamily;

using TEffectRoutine = void (*)(TTransThread& thread, int local);

// EffectDispatch.cpp: the routine of a family.
TEffectRoutine FamilyRoutine(EffectFamily family);

// BoxEffects.cpp: a centred box of the new picture grows outwards (Box Out), or the old picture
// shrinks into the centre over the new one (Box In). One member each.
void RunBoxOut(TTransThread& thread, int local);
void RunBoxIn(TTransThread& thread, int local);

// slide/SlideFamily.cpp: bands of the new picture move in from outside until they stand in
// place; the door that opens moves the old picture's halves out instead. Slides, doors, jaws,
// columns and blinds.
void RunSlideFamily(TTransThread& thread, int local);

// reveal/RevealFamily.cpp: the new picture is uncovered in place through windows that travel
// across it. Unfolds, lines, cross lines, sweeps and downloads.
void RunRevealFamily(TTransThread& thread, int local);

// reveal/LineDrop.cpp: one window uncovers the new picture while the line at its moving edge is
// stretched over the part not yet uncovered. From right, from left, from bottom, from up.
void RunLineDrop(TTransThread& thread, int local);

// shapes/: the new picture is uncovered through shapes no rectangle can describe.
// EllipseFamily.cpp: ellipses growing out of the centre or an edge, or closing in.
void RunEllipseFamily(TTransThread& thread, int local);
// ShapeFamily.cpp: diagonal unfolds, propellers, clocks, chaos star, window washer, triangles,
// quarter clocks and diamonds.
void RunShapeFamily(TTransThread& thread, int local);
// RandomFamily.cpp: a shuffled deck of lines, rectangles or ellipses dealt a few per frame.
void RunRandomFamily(TTransThread& thread, int local);
// SweepFamily.cpp: a brush travelling a rectangular spiral, inside out or outside in.
void RunSweepFamily(TTransThread& thread, int local);

// zoomfade/: frames composed in Scratch from scaled or blended pictures.
// Zoom.cpp: the new picture, or each half or quarter of it, grows out of a point or an edge.
void RunZoomFamily(TTransThread& thread, int local);
// FadeFamily.cpp: crossfade, and fade to black and up again.
void RunFadeFamily(TTransThread& thread, int local);
// FoldFade.cpp: a window uncovers the new picture behind a soft band that fades it in.
void RunFadeUnfoldFamily(TTransThread& thread, int local);

} // namespace pictorelle

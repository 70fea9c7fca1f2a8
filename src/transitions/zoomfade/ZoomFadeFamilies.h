// The families that compose their frames in Scratch from scaled or blended pictures: the
// zooms, the two fades and the fade unfolds with their soft leading edge.
#pragma once

#include "transitions/TransThread.h"

namespace pictorelle {

void RunZoomFamily(TTransThread& thread, int local);       // 1..12
void RunFadeFamily(TTransThread& thread, int local);       // 1 crossfade, 2 fade to black
void RunFadeUnfoldFamily(TTransThread& thread, int local); // 1..4

} // namespace pictorelle

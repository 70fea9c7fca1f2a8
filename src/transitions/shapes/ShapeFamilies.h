// The families that uncover the new picture through shapes no rectangle can describe:
// ellipses, triangles, diamonds, clock hands, random cells, and the spiral brush.
#pragma once

#include "transitions/TransThread.h"

namespace pictorelle {

void RunEllipseFamily(TTransThread& thread, int local); // 1..6
void RunShapeFamily(TTransThread& thread, int local);   // 1..19
void RunRandomFamily(TTransThread& thread, int local);  // 1..5
void RunSweepFamily(TTransThread& thread, int local);   // 1..2

} // namespace pictorelle

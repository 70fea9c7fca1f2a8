// The line drops: one window uncovers the new picture as the unfolds do, and each frame also
// stretches the picture's line at the window's moving edge over the part not yet uncovered.
#pragma once

namespace pictorelle {

class TTransThread;

// `local` is 1 to 4: from right, from left, from bottom, from up.
void RunLineDrop(TTransThread& thread, int local);

} // namespace pictorelle

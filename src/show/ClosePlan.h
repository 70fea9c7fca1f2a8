// The steps the main window takes when it closes, in their order. The order matters (the host
// must be gone before the browser opens, the exit banner comes last), and which steps run
// depends on the mode, so it is worked out here as data and the window only carries it out.
#pragma once

#include <vector>

namespace pictorelle {

enum class TCloseStep {
    DetachCloseHandler, // a second close request must not run the steps again
    StopShow,           // stop requested, slide timer off
    HideWindow,
    ShowCursor,
    DeleteDataFile,   // "SSDATA.DAT" in the temporary folder
    DestroyHost,      // the host component undoes what its mode did to the system
    DeleteMelodyFile, // the built-in playlist's current melody
    OpenExitAddress,
    WriteSettings,
    FreeShowObjects,
    DisplayExitBanner,
};

struct TCloseSituation {
    bool SaverActive = false; // full screen or preview, not the options panel
    bool PreviewMode = false;
    bool CurrentMelodyExtracted = false; // the current melody is a built-in one inside the list
    bool HasExitAddress = false;
    bool HasExitBanner = false;
    bool TransitionRunning = false;
};

inline std::vector<TCloseStep> ClosePlan(const TCloseSituation& s) {
    using enum TCloseStep;
    std::vector<TCloseStep> plan = {DetachCloseHandler, StopShow,       HideWindow,
                                    ShowCursor,         DeleteDataFile, DestroyHost};
    if (!s.PreviewMode) {
        if (s.CurrentMelodyExtracted) plan.push_back(DeleteMelodyFile);
        if (s.SaverActive && s.HasExitAddress) plan.push_back(OpenExitAddress);
        if (!s.SaverActive) plan.push_back(WriteSettings);
    }
    if (s.SaverActive) {
        plan.push_back(FreeShowObjects);
        // The banner would cover a transition that is still winding down.
        if (!s.PreviewMode && s.HasExitBanner && !s.TransitionRunning)
            plan.push_back(DisplayExitBanner);
    }
    return plan;
}

} // namespace pictorelle

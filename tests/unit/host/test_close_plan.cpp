#include "show/ClosePlan.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace pictorelle {
namespace {

using enum TCloseStep;

TCloseSituation FullScreen() {
    TCloseSituation s;
    s.SaverActive = true;
    s.CurrentMelodyExtracted = true;
    s.HasExitAddress = true;
    s.HasExitBanner = true;
    return s;
}

bool Has(const std::vector<TCloseStep>& plan, TCloseStep step) {
    return std::find(plan.begin(), plan.end(), step) != plan.end();
}

TEST(ClosePlan, FullScreenRunsEveryShowStepInOrder) {
    EXPECT_EQ(ClosePlan(FullScreen()),
              (std::vector<TCloseStep>{DetachCloseHandler, StopShow, HideWindow, ShowCursor,
                                       DeleteDataFile, DestroyHost, DeleteMelodyFile,
                                       OpenExitAddress, FreeShowObjects, DisplayExitBanner}));
}

TEST(ClosePlan, PreviewOnlyDeletesTheDataFile) {
    TCloseSituation s = FullScreen();
    s.PreviewMode = true;
    EXPECT_EQ(ClosePlan(s),
              (std::vector<TCloseStep>{DetachCloseHandler, StopShow, HideWindow, ShowCursor,
                                       DeleteDataFile, DestroyHost, FreeShowObjects}));
}

TEST(ClosePlan, OptionsPanelWritesTheSettingsAndOpensNothing) {
    TCloseSituation s;
    s.HasExitAddress = true;
    s.HasExitBanner = true;
    const auto plan = ClosePlan(s);
    EXPECT_EQ(plan.back(), WriteSettings);
    EXPECT_FALSE(Has(plan, OpenExitAddress));
    EXPECT_FALSE(Has(plan, DisplayExitBanner));
    EXPECT_FALSE(Has(plan, FreeShowObjects));
}

TEST(ClosePlan, NoExitBannerOverARunningTransition) {
    TCloseSituation s = FullScreen();
    s.TransitionRunning = true;
    const auto plan = ClosePlan(s);
    EXPECT_FALSE(Has(plan, DisplayExitBanner));
    EXPECT_TRUE(Has(plan, OpenExitAddress));
}

TEST(ClosePlan, OptionalStepsFollowTheirConditions) {
    TCloseSituation s = FullScreen();
    s.CurrentMelodyExtracted = false;
    s.HasExitAddress = false;
    s.HasExitBanner = false;
    const auto plan = ClosePlan(s);
    EXPECT_FALSE(Has(plan, DeleteMelodyFile));
    EXPECT_FALSE(Has(plan, OpenExitAddress));
    EXPECT_FALSE(Has(plan, DisplayExitBanner));
    EXPECT_EQ(plan.back(), FreeShowObjects);
}

} // namespace
} // namespace pictorelle

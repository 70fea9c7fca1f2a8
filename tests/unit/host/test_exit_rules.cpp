#include "show/ExitRules.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

constexpr TExitConditions kAll{true, true, true, true};

TInput Move(int x, int y) {
    return {TInputMessage::MouseMove, 0, x, y};
}
TInput Key(TInputMessage m, int key) {
    return {m, key, 0, 0};
}

TEST(ExitRules, MoveMustExceedFivePixelsInXOrY) {
    const int ox = 100, oy = 200;
    EXPECT_FALSE(DecideExit(kAll, false, Move(105, 200), ox, oy).Exit);
    EXPECT_FALSE(DecideExit(kAll, false, Move(95, 195), ox, oy).Exit);
    EXPECT_FALSE(DecideExit(kAll, false, Move(105, 205), ox, oy).Exit);
    EXPECT_TRUE(DecideExit(kAll, false, Move(106, 200), ox, oy).Exit);
    EXPECT_TRUE(DecideExit(kAll, false, Move(100, 194), ox, oy).Exit);
}

TEST(ExitRules, MoveWithoutMouseExitOnlyBringsThePointerBack) {
    TExitConditions c = kAll;
    c.MouseMove = false;
    const TExitDecision far = DecideExit(c, false, Move(0, 0), 100, 100);
    EXPECT_FALSE(far.Exit);
    EXPECT_TRUE(far.ShowCursor);
    EXPECT_FALSE(DecideExit(c, false, Move(104, 100), 100, 100).ShowCursor);
}

TEST(ExitRules, KeysEndTheShowOnlyWithKeyboardExit) {
    for (TInputMessage m : {TInputMessage::KeyDown, TInputMessage::KeyUp, TInputMessage::SysKeyDown,
                            TInputMessage::SysKeyUp})
        EXPECT_TRUE(DecideExit(kAll, false, Key(m, 'A'), 0, 0).Exit);

    const TExitConditions escOnly{false, false, false, true};
    EXPECT_FALSE(DecideExit(escOnly, false, Key(TInputMessage::KeyDown, 'A'), 0, 0).Exit);
    EXPECT_TRUE(DecideExit(escOnly, false, Key(TInputMessage::KeyDown, kKeyEscape), 0, 0).Exit);
    // Esc counts when pressed, not when released or pressed with Alt.
    EXPECT_FALSE(DecideExit(escOnly, false, Key(TInputMessage::KeyUp, kKeyEscape), 0, 0).Exit);
    EXPECT_FALSE(DecideExit(escOnly, false, Key(TInputMessage::SysKeyDown, kKeyEscape), 0, 0).Exit);
    EXPECT_FALSE(DecideExit(escOnly, false, Move(500, 500), 0, 0).Exit);
}

TEST(ExitRules, ButtonsAndActivationChangesNeedMouseButtonExit) {
    const TExitConditions buttons{false, true, false, false};
    for (TInputMessage m : {TInputMessage::LeftButtonDown, TInputMessage::RightButtonDown,
                            TInputMessage::MiddleButtonDown, TInputMessage::WindowActivation,
                            TInputMessage::AppActivation, TInputMessage::NonClientActivation}) {
        EXPECT_TRUE(DecideExit(buttons, false, {m, 0, 0, 0}, 0, 0).Exit);
        EXPECT_FALSE(DecideExit({true, false, true, true}, false, {m, 0, 0, 0}, 0, 0).Exit);
    }
    EXPECT_FALSE(DecideExit(buttons, false, Key(TInputMessage::KeyDown, 'A'), 0, 0).Exit);
    EXPECT_FALSE(DecideExit(kAll, false, {TInputMessage::Other, 0, 0, 0}, 0, 0).Exit);
}

TEST(ExitRules, FunctionKeysActOnlyWhenTheKeyWouldEndTheShow) {
    const TExitDecision f1 = DecideExit(kAll, false, Key(TInputMessage::KeyDown, kKeyF1), 0, 0);
    EXPECT_TRUE(f1.Exit);
    EXPECT_TRUE(f1.UseF1Link);

    const TExitDecision f2 = DecideExit(kAll, false, Key(TInputMessage::KeyDown, kKeyF2), 0, 0);
    EXPECT_FALSE(f2.Exit);
    EXPECT_TRUE(f2.SetWallpaper);

    // With only Esc, F1 and F2 are ignored altogether.
    const TExitConditions escOnly{false, false, false, true};
    for (int key : {kKeyF1, kKeyF2}) {
        const TExitDecision d = DecideExit(escOnly, false, Key(TInputMessage::KeyDown, key), 0, 0);
        EXPECT_FALSE(d.Exit || d.UseF1Link || d.SetWallpaper);
    }
    // The show goes on after the wallpaper: releasing F2 does not end it either.
    EXPECT_FALSE(DecideExit(kAll, false, Key(TInputMessage::KeyUp, kKeyF2), 0, 0).Exit);
    EXPECT_TRUE(DecideExit(kAll, false, Key(TInputMessage::KeyUp, kKeyF1), 0, 0).Exit);
}

TEST(ExitRules, PresentationAnswersCountedMovesAndLeftClicks) {
    const TExitConditions presentation{false, false, false, true};
    const TExitDecision move = DecideExit(presentation, true, Move(10, 0), 0, 0);
    EXPECT_TRUE(move.PresentationMove);
    EXPECT_TRUE(move.ShowCursor);
    EXPECT_FALSE(move.Exit);
    EXPECT_FALSE(DecideExit(presentation, true, Move(5, 5), 0, 0).PresentationMove);

    const TExitDecision click =
        DecideExit(presentation, true, {TInputMessage::LeftButtonDown, 0, 3, 4}, 0, 0);
    EXPECT_TRUE(click.PresentationClick);
    EXPECT_FALSE(click.Exit);
    EXPECT_FALSE(
        DecideExit(kAll, false, {TInputMessage::LeftButtonDown, 0, 3, 4}, 0, 0).PresentationClick);
    EXPECT_FALSE(DecideExit(kAll, false, Move(10, 0), 0, 0).PresentationMove);
}

} // namespace
} // namespace pictorelle

// Which session the player joins: the Wayland compositor when there is one, the X server for
// what only X11 can do, and always the platform the user names.
#include "platform/SessionChoice.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

TEST(SessionChoice, AWaylandSessionGetsANativeClientWhateverElseIsThere) {
    for (const std::string x11 : {"", ":0"}) {
        const TSessionChoice c = ChooseSession({"", "wayland-1", x11}, false);
        EXPECT_EQ(c.kind, TSessionKind::Wayland) << x11;
        EXPECT_EQ(c.qtPlatform, "wayland");
        EXPECT_FALSE(c.refused);
    }
    // Without a compositor, X11 as ever, and Qt's own default is left alone.
    const TSessionChoice x = ChooseSession({"", "", ":0"}, false);
    EXPECT_EQ(x.kind, TSessionKind::X11);
    EXPECT_EQ(x.qtPlatform, "");
    EXPECT_EQ(ChooseSession({"", "", ""}, false).kind, TSessionKind::X11);
}

TEST(SessionChoice, WhatNeedsAnXWindowGoesToTheXServerOrIsRefused) {
    const TSessionChoice xwayland = ChooseSession({"", "wayland-1", ":1"}, true);
    EXPECT_EQ(xwayland.kind, TSessionKind::X11);
    EXPECT_EQ(xwayland.qtPlatform, "xcb");
    EXPECT_FALSE(xwayland.refused);
    EXPECT_TRUE(ChooseSession({"", "wayland-1", ""}, true).refused);
    EXPECT_FALSE(ChooseSession({"", "", ":0"}, true).refused);
    EXPECT_TRUE(ChooseSession({"wayland", "wayland-1", ":0"}, true).refused);
}

TEST(SessionChoice, ThePlatformTheUserNamesWins) {
    const TSessionChoice forced = ChooseSession({"xcb", "wayland-1", ":0"}, false);
    EXPECT_EQ(forced.kind, TSessionKind::X11);
    EXPECT_EQ(forced.qtPlatform, "");
    EXPECT_EQ(ChooseSession({"wayland-egl", "", ":0"}, false).kind, TSessionKind::Wayland);
    const TSessionChoice offscreen = ChooseSession({"offscreen", "wayland-1", ""}, true);
    EXPECT_EQ(offscreen.kind, TSessionKind::Other);
    EXPECT_FALSE(offscreen.refused);
}

} // namespace
} // namespace pictorelle

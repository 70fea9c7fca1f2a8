// Which input ends the running show. The main window's input hook turns each input event into
// one of these messages and acts on the decision; the rules themselves are pure, so they are
// tested without a window.
#pragma once

#include <cstdlib>

namespace pictorelle {

// The kinds of input the exit rules distinguish, numbered like the messages they stand for.
enum class TInputMessage {
    Other = 0,
    WindowActivation = 6,
    AppActivation = 28,
    NonClientActivation = 134,
    KeyDown = 256,
    KeyUp = 257,
    SysKeyDown = 260,
    SysKeyUp = 261,
    MouseMove = 512,
    LeftButtonDown = 513,
    RightButtonDown = 516,
    MiddleButtonDown = 519,
};

// Key codes of the keys with a meaning of their own.
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF1 = 112;
inline constexpr int kKeyF2 = 113;

// A move counts only when the pointer is more than this far from where it was, in x or in y.
inline constexpr int kMoveTolerance = 5;

struct TExitConditions {
    bool MouseMove = true;
    bool MouseButton = true;
    bool Keyboard = true;
    bool Esc = true;
};

struct TInput {
    TInputMessage Message = TInputMessage::Other;
    int Key = 0;      // key messages
    int X = 0, Y = 0; // mouse moves: the pointer in screen pixels
};

struct TExitDecision {
    bool Exit = false;
    bool ShowCursor = false;        // a move that does not end the show brings the pointer back
    bool PresentationMove = false;  // the presentation panel answers a counted move
    bool PresentationClick = false; // ... and a left click, before the exit rules
    bool UseF1Link = false;         // F1 swaps the exit address for the F1 address
    bool SetWallpaper = false;      // F2 makes the picture the wallpaper instead of ending
};

inline bool MovedBeyondTolerance(int originX, int originY, int x, int y) {
    return std::abs(x - originX) > kMoveTolerance || std::abs(y - originY) > kMoveTolerance;
}

inline bool IsKeyMessage(TInputMessage m) {
    return m == TInputMessage::KeyDown || m == TInputMessage::KeyUp ||
           m == TInputMessage::SysKeyDown || m == TInputMessage::SysKeyUp;
}

inline bool IsButtonOrActivationMessage(TInputMessage m) {
    switch (m) {
    case TInputMessage::WindowActivation:
    case TInputMessage::AppActivation:
    case TInputMessage::NonClientActivation:
    case TInputMessage::LeftButtonDown:
    case TInputMessage::RightButtonDown:
    case TInputMessage::MiddleButtonDown:
        return true;
    default:
        return false;
    }
}

// The decision for one input while the show runs and input is not suspended. originX/Y is
// where the pointer was when the window appeared (or, in a presentation, at the last counted
// move).
inline TExitDecision DecideExit(const TExitConditions& c, bool presentationMode, const TInput& in,
                                int originX, int originY) {
    TExitDecision d;
    if (in.Message == TInputMessage::MouseMove) {
        const bool moved = MovedBeyondTolerance(originX, originY, in.X, in.Y);
        d.PresentationMove = presentationMode && moved;
        if (c.MouseMove)
            d.Exit = moved;
        else
            d.ShowCursor = moved;
        return d;
    }
    d.PresentationClick = presentationMode && in.Message == TInputMessage::LeftButtonDown;
    d.Exit = (c.Keyboard && IsKeyMessage(in.Message)) ||
             (c.MouseButton && IsButtonOrActivationMessage(in.Message)) ||
             (c.Esc && in.Message == TInputMessage::KeyDown && in.Key == kKeyEscape);
    // F1 and F2 only mean something when the key press itself would end the show.
    if (d.Exit && in.Message == TInputMessage::KeyDown && in.Key == kKeyF1) d.UseF1Link = true;
    if (d.Exit && in.Message == TInputMessage::KeyDown && in.Key == kKeyF2) {
        d.SetWallpaper = true;
        d.Exit = false;
    }
    // F2 keeps the show running: letting go of the key must not end it after all.
    if (in.Message == TInputMessage::KeyUp && in.Key == kKeyF2) d.Exit = false;
    return d;
}

} // namespace pictorelle

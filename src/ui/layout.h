// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <span>
#include <string_view>

// The window as data: every control with its container, caption, place (in twips), colours,
// font, focus order, alignment, border and visibility. One builder turns the rows into widgets
// (layout_builder.h). A command button's name is its command's name in the catalogue, which is
// how the window knows what it sends.
namespace layout {

enum class Kind : quint8 { Frame, Label, Button, Option, TextBox, Image };
enum class Align : quint8 { Left, Center, Right };

// The window's fonts: the monospaced Gothic or the proportional PGothic face, at 9, 8.25, 7.5 or
// 9.75 points (named by the nearest whole point), normal or bold. Gothic9Bold is the window's
// own font.
enum class Font : quint8 {
    Gothic9Bold,
    Gothic9,
    PGothic9,
    PGothic9Bold,
    Gothic8Bold,
    Gothic8,
    PGothic7,
    Gothic10Bold,
    Gothic10,
    PGothic10Bold,
};

// Colours as 0xRRGGBB, plus two that come from the platform's palette.
using Colour = quint32;
constexpr Colour kButtonFace = 0x01000000;   // the ordinary button face
constexpr Colour kSystemWindow = 0x02000000; // the background of an edit box
constexpr Colour kBlack = 0x000000;
constexpr Colour kGrey = 0xC0C0C0;

struct Control
{
    std::string_view name; // also the Qt object name; a command's name on its button
    Kind kind;             // what is built
    const char *caption;   // UTF-8; "" for none
    // What assistive technology calls it: the caption as shown, with the group it belongs to
    // where the caption alone does not say what it does ("Volume +"); "" for the caption itself.
    // A label's name is always its text.
    const char *spoken;
    std::string_view parent;      // "" for the window's client area, else a frame's name
    int left, top, width, height; // twips, relative to the container
    Colour back;                  // background; a button's face
    Font font;                    // Gothic9Bold where the control has no font of its own
    int tab;                      // position in the focus order; -1 for none
    Align align = Align::Left;    // labels; a button's caption is always centred
    Colour fore = kBlack;         // text
    bool border = false;          // a single line around a label
    bool visible = true;          // when the window opens
};

// Decorative line on the window, in twips. Style: 1 solid, 2 dash, 3 dot, 6 inside solid.
struct Line
{
    std::string_view name;
    int x1, y1, x2, y2;
    int style;
};

constexpr Colour kLineColour = 0x8080FF;
constexpr int kLineWidthPx = 2;

// The window's client area as designed, and its caption.
constexpr int kClientWidthTwips = 9495;
constexpr int kClientHeightTwips = 8730;
constexpr Colour kWindowBack = kGrey;
inline constexpr const char *kWindowCaption = "ODRA   MP-Q85 & Q75   CONTROL   Ver.1.40";
// Beside the command box when a paste or a key would make its text longer than it takes.
inline constexpr const char *kCommandBoxFull =
    "The CMD box takes at most 100,000 characters: this was not taken.";

std::span<const Control> controls();
std::span<const Line> lines();

// What a control that sends no command does, in a few words, for assistive technology; a
// command button's words are its command's in the catalogue. nullptr for none.
const char *purpose(std::string_view name);

} // namespace layout

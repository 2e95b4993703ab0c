#include "panel/layout.h"

namespace layout {
namespace {

using K = Kind;
using A = Align;
using F = Font;

// clang-format off
constexpr Control kControls[] = {
// name        kind      caption  parent     left  top   width height back     fore    font  tab align    border visible
{"Command33", K::Button, "COM",   "",        4080, 4200, 1815, 375, kButtonFace, kBlack, F::F2, 41, A::Center, false, true},
{"Command16", K::Button, "END",   "",        8400, 4320,  975, 375, kGrey,   kBlack, F::F0,  26, A::Center, false, true},
{"Frame8",    K::Frame,  "",      "",        3480, 3600, 2775, 1185, kGrey,  kBlack, F::F0,  42, A::Left,   false, false},
{"Option1",   K::Option, "COM1",  "Frame8",   240,  240, 1215, 255, kGrey,   kBlack, F::F0,  43, A::Left,   false, true},
{"Option2",   K::Option, "COM2",  "Frame8",  1560,  240, 1095, 255, kGrey,   kBlack, F::F0,  44, A::Left,   false, true},
{"Frame13",   K::Frame,  "",      "Frame8",   120,  480, 2535, 615, kGrey,   kBlack, F::F0,  77, A::Left,   false, true},
{"Option9",   K::Option, "19200", "Frame13",  120,  240, 1095, 255, kGrey,   kBlack, F::F0,  78, A::Left,   false, true},
{"Option10",  K::Option, "9600",  "Frame13", 1440,  240,  975, 300, kGrey,   kBlack, F::F0,  79, A::Left,   false, true},
{"Frame9",    K::Frame,  "",      "",          45, 4920, 6312, 1290, kGrey,  kBlack, F::F0,  45, A::Left,   false, true},
{"Label11",   K::Label,  "",      "Frame9",   600,  180, 5610, 300, 0xFFFFFF, kBlack, F::F9, 48, A::Left,   true,  true},
{"Label9",    K::Label,  "TXD",   "Frame9",   105,  210,  390, 285, kGrey,   kBlack, F::F1,  46, A::Right,  false, true},
{"Label12",   K::Label,  "",      "Frame9",   600,  540, 5616, 300, 0xFFFFFF, kBlack, F::F9, 49, A::Left,   true,  true},
{"Label10",   K::Label,  "RXD",   "Frame9",    75,  555,  450, 300, kGrey,   kBlack, F::F1,  47, A::Right,  false, true},
{"Label22",   K::Label,  "",      "Frame9",   930,  915, 5295, 300, 0xFFFFFF, 0xFF0000, F::F3, 109, A::Left, true,  true},
{"Label23",   K::Label,  "STATUS", "Frame9",  120,  960,  735, 225, kGrey,   kBlack, F::F5, 110, A::Left,   false, true},
};

constexpr Line kLines[] = {
{"Line1", 1080, 2400, 1080, 2880, 6},
};
// clang-format on

} // namespace

std::span<const Control> controls() { return kControls; }
std::span<const Line> lines() { return kLines; }

} // namespace layout

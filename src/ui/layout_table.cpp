// SPDX-License-Identifier: MIT
#include "ui/layout.h"

#include <algorithm>

namespace layout {
namespace {

using enum Kind;
using enum Font;
using enum Align;

// The panel's colours.
constexpr Colour kCyan = 0xC0FFFF;    // most command buttons
constexpr Colour kGreen = 0xC0FFC0;   // "ON", "MAX", "NOR", "SEND"
constexpr Colour kPink = 0xFFC0C0;    // "OFF", "CLS"
constexpr Colour kPeach = 0xFFE0C0;   // arrows, "Monitor OUT", "P-FAIL"
constexpr Colour kBlue = 0xC0C0FF;    // "IMAGE", "P-TIMER", "DISPLAY CLEAR"
constexpr Colour kTeal = 0x00C0C0;    // "A-IMAGE"
constexpr Colour kOrange = 0xFF8000;  // "ENTER"
constexpr Colour kApricot = 0xFFC080; // volume "+" and "-"
constexpr Colour kWhite = 0xFFFFFF;   // the monitor lines
constexpr Colour kRed = 0xFF0000;     // status text
constexpr Colour kDarkRed = 0xC00000; // "POWER"
constexpr Colour kFace = kButtonFace;
constexpr Colour kEdit = kSystemWindow;

constexpr bool kBorder = true;
constexpr bool kNoBorder = false;
constexpr bool kHidden = false;

// Rows on the window come first, top to bottom, which is also their stacking order: where two
// edges share a pixel the later row lies on top. Then what each frame holds; a frame always
// comes before its contents. The columns after the tab index are optional (left-aligned, black
// text, no border, shown).
// clang-format off
constexpr Control kControls[] = {
// name, kind, caption, spoken name ("": the caption), parent (the frame it sits in), left, top, width, height (twips), back, font, tab
// On the window
{"picture",              Image,   "",               "ODRA",                     "",                  8160,   120,  1200,   390, kGrey,    Gothic9Bold,      -1},
{"power-group",          Frame,   "",               "",                         "",                   120,   240,  1695,   975, kGrey,    Gothic9Bold,       0},
{"input-group",          Frame,   "",               "",                         "",                  2520,   240,  2895,   975, kGrey,    Gothic9Bold,       3},
{"menu-group",           Frame,   "",               "",                         "",                  5640,   240,  1695,   975, kGrey,    Gothic9Bold,      14},
{"lens-shift-group",     Frame,   "",               "",                         "",                  7680,   600,  1692,  1695, kGrey,    Gothic9Bold,      72},
{"sound-mute-group",     Frame,   "",               "",                         "",                   120,  1440,  1695,   855, kGrey,    Gothic9Bold,       8},
{"no-show-group",        Frame,   "",               "",                         "",                  1920,  1440,  1695,   855, kGrey,    Gothic9Bold,      10},
{"freeze-group",         Frame,   "",               "",                         "",                  3720,  1440,  1695,   855, kGrey,    Gothic9Bold,      22},
{"av-size-group",        Frame,   "",               "",                         "",                  5520,  1440,  1815,   855, kGrey,    Gothic9Bold,      12},
{"menu-up",              Button,  "↑",              "Menu ↑",                   "",                  1200,  2520,   855,   375, kPeach,   PGothic9Bold,     17},
{"volume-label",         Label,   "VOL",            "",                         "",                  3600,  2520,   495,   255, kGrey,    Gothic9Bold,      7,
    Center},
{"zoom-label",           Label,   "Zoom",           "",                         "",                  4440,  2520,   492,   252, kGrey,    Gothic9,          53},
{"focus-label",          Label,   "Focus",          "",                         "",                  5280,  2520,   615,   255, kGrey,    Gothic9,          56},
{"d-zoom-label",         Label,   "D.Zoom",         "",                         "",                  6360,  2520,   735,   255, kGrey,    Gothic9,          63},
{"keystone-label",       Label,   "Keystone",       "",                         "",                  7320,  2520,   855,   255, kGrey,    Gothic9,          66},
{"a-image",              Button,  "A-IMAGE",        "",                         "",                  8400,  2760,   975,   250, kTeal,    Gothic9,          24},
{"volume-up",            Button,  "+",              "Volume +",                 "",                  3600,  2880,   375,   255, kApricot, Gothic9Bold,       5},
{"zoom-in",              Button,  "+",              "Zoom +",                   "",                  4440,  2880,   375,   255, kCyan,    Gothic9,          51},
{"focus-plus",           Button,  "+",              "Focus +",                  "",                  5280,  2880,   375,   255, kCyan,    Gothic9,          54},
{"d-zoom-in",            Button,  "+",              "D.Zoom +",                 "",                  6480,  2880,   375,   255, kCyan,    PGothic9,         61},
{"keystone-plus",        Button,  "+",              "Keystone +",               "",                  7440,  2880,   375,   255, kCyan,    Gothic9,          64},
{"menu-left",            Button,  "←",              "Menu ←",                   "",                   240,  3000,   855,   375, kPeach,   PGothic9Bold,     21},
{"menu-enter",           Button,  "ENTER",          "Menu ENTER",               "",                  1200,  3000,   855,   375, kOrange,  Gothic9,          18},
{"menu-right",           Button,  "→",              "Menu →",                   "",                  2160,  3000,   855,   375, kPeach,   PGothic9Bold,     20},
{"image",                Button,  "IMAGE",          "",                         "",                  8400,  3120,   975,   255, kBlue,    Gothic9,          76},
{"volume-down",          Button,  "-",              "Volume -",                 "",                  3600,  3240,   375,   255, kApricot, Gothic9Bold,       6},
{"zoom-out",             Button,  "-",              "Zoom -",                   "",                  4440,  3240,   375,   255, kCyan,    Gothic9,          52},
{"focus-minus",          Button,  "-",              "Focus -",                  "",                  5280,  3240,   375,   255, kCyan,    Gothic9,          55},
{"d-zoom-out",           Button,  "-",              "D.Zoom -",                 "",                  6480,  3240,   375,   255, kCyan,    Gothic9,          62},
{"keystone-minus",       Button,  "-",              "Keystone -",               "",                  7440,  3240,   375,   255, kCyan,    Gothic9,          65},
{"p-timer",              Button,  "P-TIMER",        "",                         "",                  8400,  3360,   975,   250, kBlue,    Gothic9,          25},
{"menu-down",            Button,  "↓",              "Menu ↓",                   "",                  1200,  3480,   855,   375, kPeach,   PGothic9Bold,     19},
{"settings-frame",       Frame,   "",               "",                         "",                  3480,  3600,  2775,  1185, kGrey,    Gothic9Bold,     42,
    Left, kBlack, kNoBorder, kHidden},
{"display-clear",        Button,  "DISPLAY CLEAR",  "",                         "",                  8400,  3600,   975,   492, kBlue,    Gothic9,          16},
{"keys-off-label",       Label,   "R/C KEY OFF",    "",                         "",                  6600,  3720,  1332,   252, kGrey,    Gothic9,          71},
{"keys-off-none",        Button,  "NONE",           "R/C KEY OFF NONE",         "",                  6600,  3960,  1200,   372, kCyan,    Gothic9,          68},
{"image-stand",          Button,  "STAND",          "Image mode STAND",         "",                   240,  4080,   975,   255, kCyan,    Gothic9,          80},
{"image-real",           Button,  "REAL",           "Image mode REAL",          "",                  1200,  4080,   975,   255, kCyan,    Gothic9,          81},
{"image-cinema",         Button,  "CINEMA",         "Image mode CINEMA",        "",                  2160,  4080,   975,   255, kCyan,    Gothic9,          82},
{"port-settings",        Button,  "COM",            "",                         "",                  4080,  4200,  1815,   375, kFace,    PGothic9,         41},
{"image-1",              Button,  "IMAGE1",         "Image mode IMAGE1",        "",                   240,  4320,   975,   255, kCyan,    Gothic9,          83},
{"image-2",              Button,  "IMAGE2",         "Image mode IMAGE2",        "",                  1200,  4320,   975,   255, kCyan,    Gothic9,          84},
{"image-3",              Button,  "IMAGE3",         "Image mode IMAGE3",        "",                  2160,  4320,   975,   255, kCyan,    Gothic9,          85},
{"keys-off-remote",      Button,  "R/C",            "R/C KEY OFF R/C",          "",                  6600,  4320,   606,   372, kCyan,    Gothic9,          69},
{"keys-off-panel",       Button,  "KEY",            "R/C KEY OFF KEY",          "",                  7200,  4320,   606,   372, kCyan,    Gothic9,          70},
{"end",                  Button,  "END",            "",                         "",                  8400,  4320,   975,   375, kGrey,    Gothic9Bold,      26},
{"image-4",              Button,  "IMAGE4",         "Image mode IMAGE4",        "",                   240,  4560,   975,   255, kCyan,    Gothic9,          86},
{"monitor",              Frame,   "",               "",                         "",                    45,  4920,  6312,  1290, kGrey,    Gothic9Bold,      45},
{"data-view",            Button,  "データを表示する",       "",                         "",                  6600,  5040,  1200,   375, kGrey,    PGothic9,        50,
    Left, kBlack, kNoBorder, kHidden},
{"p-fail",               Button,  "P-FAIL",         "",                         "",                  8400,  5160,   975,   255, kPeach,   Gothic9Bold,      87},
{"status",               Button,  "STATUS",         "",                         "",                  6480,  5640,   975,   255, kCyan,    Gothic8Bold,      57},
{"lamp-time",            Button,  "L-TIME",         "",                         "",                  7440,  5640,   975,   255, kCyan,    Gothic8Bold,      59},
{"temp",                 Button,  "TEMP",           "",                         "",                  8400,  5640,   975,   252, kCyan,    Gothic8Bold,      67},
{"input-mode",           Button,  "MODE",           "",                         "",                  6480,  5880,   975,   255, kCyan,    Gothic8Bold,      58},
{"setting",              Button,  "SETTING",        "",                         "",                  7440,  5880,   975,   255, kCyan,    Gothic8Bold,      60},
{"terminal-frame",       Frame,   "",               "",                         "",                   120,  6735,  7215,  1320, kGrey,    Gothic9Bold,      88},
{"fan-group",            Frame,   "",               "",                         "",                  7440,  6750,  1935,   945, kGrey,    Gothic9Bold,     105},
{"command-entry",        Frame,   "",               "",                         "",                   120,  8040,  7215,   570, kGrey,    Gothic9Bold,     100},
// Power
{"power-label",          Label,   "POWER",          "",                         "power-group",        240,   240,  1095,   255, kGrey,    Gothic9Bold,      2,
    Center, kDarkRed},
{"power-on",             Button,  "ON",             "Power ON",                 "power-group",        120,   600,   615,   300, kGreen,   PGothic9Bold,      1},
{"power-off",            Button,  "OFF",            "Power OFF",                "power-group",        960,   600,   615,   300, kPink,    PGothic9Bold,     27},
// Input
{"input-label",          Label,   "INPUT MODE SET", "",                         "input-group",        480,   240,  1935,   255, kGrey,    Gothic9Bold,      4,
    Center},
{"input-1",              Button,  "1",              "Input mode 1",             "input-group",        240,   600,   495,   300, kCyan,    PGothic9Bold,     36},
{"input-2",              Button,  "2",              "Input mode 2",             "input-group",        960,   600,   495,   300, kCyan,    PGothic9Bold,     37},
{"input-3",              Button,  "3",              "Input mode 3",             "input-group",       1680,   600,   495,   300, kCyan,    PGothic9Bold,     38},
{"input-lan",            Button,  "LAN",            "Input mode LAN",           "input-group",       2280,   600,   495,   300, kCyan,    Gothic9Bold,     111},
// Menu
{"menu-label",           Label,   "MENU",           "",                         "menu-group",         360,   240,   975,   255, kGrey,    Gothic9Bold,     15,
    Center},
{"menu-on",              Button,  "ON",             "Menu ON",                  "menu-group",         120,   600,   615,   300, kGreen,   PGothic9Bold,     32},
{"menu-off",             Button,  "OFF",            "Menu OFF",                 "menu-group",         960,   600,   615,   300, kPink,    PGothic9Bold,     33},
// Lens shift
{"lens-shift-label",     Label,   "LENS SHIFT",     "",                         "lens-shift-group",   120,   195,  1455,   300, kGrey,    Gothic9Bold,     75,
    Center},
{"lens-shift-up",        Button,  "↑",              "Lens shift ↑",             "lens-shift-group",   600,   720,   492,   252, kPeach,   PGothic7,         73},
{"lens-shift-down",      Button,  "↓",              "Lens shift ↓",             "lens-shift-group",   588,  1200,   492,   252, kPeach,   PGothic7,         74},
// Sound mute
{"sound-mute-label",     Label,   "SOUND MUTE",     "",                         "sound-mute-group",   120,   195,  1455,   300, kGrey,    Gothic9Bold,      9,
    Center},
{"sound-mute-on",        Button,  "ON",             "Sound mute ON",            "sound-mute-group",   120,   480,   615,   300, kGreen,   PGothic9Bold,     28},
{"sound-mute-off",       Button,  "OFF",            "Sound mute OFF",           "sound-mute-group",   960,   480,   615,   300, kPink,    PGothic9Bold,     29},
// No show
{"no-show-label",        Label,   "NO SHOW",        "",                         "no-show-group",      360,   210,  1095,   285, kGrey,    Gothic9Bold,     11,
    Center},
{"no-show-on",           Button,  "ON",             "No show ON",               "no-show-group",      120,   480,   615,   300, kGreen,   PGothic9Bold,     30},
{"no-show-off",          Button,  "OFF",            "No show OFF",              "no-show-group",      960,   480,   615,   300, kPink,    PGothic9Bold,     31},
// Freeze
{"freeze-label",         Label,   "FREEZE",         "",                         "freeze-group",       240,   210,  1215,   285, kGrey,    Gothic9Bold,     23,
    Center},
{"freeze-on",            Button,  "ON",             "Freeze ON",                "freeze-group",       120,   480,   615,   300, kGreen,   PGothic9Bold,     34},
{"freeze-off",           Button,  "OFF",            "Freeze OFF",               "freeze-group",       960,   480,   615,   300, kPink,    PGothic9Bold,     35},
// AV size
{"av-size-label",        Label,   "AV Size",        "",                         "av-size-group",      240,   210,  1335,   285, kGrey,    Gothic9Bold,     13,
    Center},
{"av-size-regular",      Button,  "Regular",        "AV size Regular",          "av-size-group",      120,   480,   855,   300, kCyan,    PGothic9,         39},
{"av-size-wide",         Button,  "Wide",           "AV size Wide",             "av-size-group",     1080,   480,   615,   300, kCyan,    PGothic9,         40},
// Settings: port, then speed in its own group
{"com1",                 Option,  "COM1",           "",                         "settings-frame",     240,   240,  1215,   255, kGrey,    Gothic9Bold,      43},
{"com2",                 Option,  "COM2",           "",                         "settings-frame",    1560,   240,  1095,   255, kGrey,    Gothic9Bold,      44},
{"speed-group",          Frame,   "",               "",                         "settings-frame",     120,   480,  2535,   615, kGrey,    Gothic9Bold,      77},
{"speed-19200",          Option,  "19200",          "Speed 19200",              "speed-group",        120,   240,  1095,   255, kGrey,    Gothic9Bold,      78},
{"speed-9600",           Option,  "9600",           "Speed 9600",               "speed-group",       1440,   240,   975,   300, kGrey,    Gothic9Bold,      79},
// Traffic monitor
{"transmit-line",        Label,   "",               "",                         "monitor",            600,   180,  5610,   300, kWhite,   PGothic10Bold,   48,
    Left, kBlack, kBorder},
{"transmit-label",       Label,   "TXD",            "",                         "monitor",            105,   210,   390,   285, kGrey,    Gothic9,         46,
    Right},
{"receive-line",         Label,   "",               "",                         "monitor",            600,   540,  5616,   300, kWhite,   PGothic10Bold,   49,
    Left, kBlack, kBorder},
{"receive-label",        Label,   "RXD",            "",                         "monitor",             75,   555,   450,   300, kGrey,    Gothic9,         47,
    Right},
{"status-line",          Label,   "",               "",                         "monitor",            930,   915,  5295,   300, kWhite,   PGothic9Bold,   109,
    Left, kRed, kBorder},
{"status-label",         Label,   "STATUS",         "",                         "monitor",            120,   960,   735,   225, kGrey,    Gothic8,         110},
// Terminals, three rows
{"terminal-1-label",     Label,   "1",              "",                         "terminal-frame",     120,   240,   255,   255, kGrey,    Gothic9Bold,      97},
{"terminal-1-rgb",       Button,  "RGB",            "Terminal 1 RGB",           "terminal-frame",     480,   240,   975,   255, kCyan,    Gothic9,          89},
{"terminal-1-scart",     Button,  "SCART",          "Terminal 1 SCART",         "terminal-frame",    1440,   240,   975,   255, kCyan,    Gothic9,          90},
{"terminal-1-dvi",       Button,  "DVI",            "Terminal 1 DVI",           "terminal-frame",    2400,   240,   975,   255, kCyan,    Gothic9,         113},
{"terminal-1-hdcp",      Button,  "HDCP",           "Terminal 1 HDCP",          "terminal-frame",    3360,   240,   975,   255, kCyan,    Gothic9,         114},
{"monitor-out",          Button,  "Monitor OUT",    "Terminal 1 Monitor OUT",   "terminal-frame",    4320,   240,  2415,   255, kPeach,   Gothic9,          92},
{"terminal-2-label",     Label,   "2",              "",                         "terminal-frame",     120,   480,   255,   255, kGrey,    Gothic9Bold,      98},
{"terminal-2-rgb",       Button,  "RGB",            "Terminal 2 RGB",           "terminal-frame",     480,   480,   975,   255, kCyan,    Gothic9,          91},
{"terminal-2-video",     Button,  "VIDEO",          "Terminal 2 VIDEO",         "terminal-frame",    1440,   480,   975,   255, kCyan,    Gothic9,         112},
{"terminal-2-component", Button,  "Y,Pb/Cb,Pr/Cr",  "Terminal 2 Y,Pb/Cb,Pr/Cr", "terminal-frame",    2400,   480,  1695,   255, kCyan,    Gothic9,          93},
{"terminal-3-label",     Label,   "3",              "",                         "terminal-frame",     120,   720,   255,   255, kGrey,    Gothic9Bold,      99},
{"terminal-3-video",     Button,  "VIDEO",          "Terminal 3 VIDEO",         "terminal-frame",     480,   720,   975,   255, kCyan,    Gothic9,          94},
{"terminal-3-s-video",   Button,  "S-VIDEO",        "Terminal 3 S-VIDEO",       "terminal-frame",    1440,   720,   975,   255, kCyan,    Gothic9,          96},
{"terminal-3-component", Button,  "Y,Pb/Cb,Pr/Cr",  "Terminal 3 Y,Pb/Cb,Pr/Cr", "terminal-frame",    2400,   720,  1695,   255, kCyan,    Gothic9,          95},
// Fan speed
{"fan-label",            Label,   "FAN SPEED",      "",                         "fan-group",          345,   285,  1215,   255, kGrey,    Gothic9Bold,     106},
{"fan-max",              Button,  "MAX",            "Fan speed MAX",            "fan-group",          120,   600,   855,   255, kGreen,   Gothic9Bold,     107},
{"fan-normal",           Button,  "NOR",            "Fan speed NOR",            "fan-group",          960,   600,   855,   255, kGreen,   Gothic9Bold,     108},
// Command entry
{"command-label",        Label,   "CMD",            "",                         "command-entry",      120,   240,   495,   255, kGrey,    Gothic10,        104},
{"command-text",         TextBox, "",               "CMD",                      "command-entry",      600,   165,  5055,   345, kEdit,    Gothic10Bold,    101},
{"send",                 Button,  "SEND",           "",                         "command-entry",     5760,   240,   735,   255, kGreen,   Gothic9Bold,     102},
{"clear-command",        Button,  "CLS",            "",                         "command-entry",     6480,   240,   615,   255, kPink,    Gothic9Bold,     103},
};

// The outline of the menu pad's cross.
constexpr Line kLines[] = {
// name            x1    y1    x2    y2  style
{"pad-outline-1",  1080, 2400, 1080, 2880, 6},
{"pad-outline-2",  2160, 2400, 2160, 2880, 3},
{"pad-outline-3",  3120, 2880, 3120, 3480, 6},
{"pad-outline-4",  2160, 3480, 2160, 3960, 1},
{"pad-outline-5",  1080, 3480, 1080, 3960, 6},
{"pad-outline-6",   120, 2880,  120, 3480, 6},
{"pad-outline-7",  1080, 2400, 2160, 2400, 3},
{"pad-outline-8",   120, 2880, 1080, 2880, 6},
{"pad-outline-9",  2160, 2880, 3120, 2880, 2},
{"pad-outline-10",  120, 3480, 1080, 3480, 6},
{"pad-outline-11", 1080, 3960, 2160, 3960, 6},
{"pad-outline-12", 2160, 3480, 3120, 3480, 6},
};

// What the controls that send no command do, read out after their names. The picture's says
// what its double-click does; the monitor lines' say which line they are, since their names are
// what they show (the status line's is spoken with every change: it is kept short).
struct Purpose
{
    std::string_view name;
    const char *what;
};

constexpr Purpose kPurposes[] = {
{"picture",       "Double-click after Ctrl+J: the full window, with the terminals, fan speed and CMD box"},
{"port-settings", "Choose the port and its speed"},
{"end",           "Close the port and end the program"},
{"data-view",     "Show or hide the traffic monitor"},
{"com1",          "Serial port COM1"},
{"com2",          "Serial port COM2"},
{"speed-19200",   "19200 baud"},
{"speed-9600",    "9600 baud"},
{"command-text",  "Any command, sent as typed with a carriage return by SEND"},
{"send",          "Send the command typed in the CMD box"},
{"clear-command", "Clear the CMD box"},
{"transmit-line", "TXD: the command sent"},
{"receive-line",  "RXD: what the projector answered"},
{"status-line",   "Projector status"},
};
// clang-format on

} // namespace

std::span<const Control> controls() { return kControls; }
std::span<const Line> lines() { return kLines; }

const char *purpose(std::string_view name)
{
    const auto it = std::find_if(std::begin(kPurposes), std::end(kPurposes),
                                 [&](const Purpose &p) { return p.name == name; });
    return it == std::end(kPurposes) ? nullptr : it->what;
}

} // namespace layout

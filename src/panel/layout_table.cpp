#include "panel/layout.h"

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
// name      kind     caption          parent    left   top  width height back     font tab
// On the window
{"Image1",   Image,   "",              "",       8160,  120, 1200,  390, kGrey,    F0,  -1},
{"Frame1",   Frame,   "",              "",        120,  240, 1695,  975, kGrey,    F0,   0},
{"Frame2",   Frame,   "",              "",       2520,  240, 2895,  975, kGrey,    F0,   3},
{"Frame6",   Frame,   "",              "",       5640,  240, 1695,  975, kGrey,    F0,  14},
{"Frame10",  Frame,   "",              "",       7680,  600, 1692, 1695, kGrey,    F0,  72},
{"Frame3",   Frame,   "",              "",        120, 1440, 1695,  855, kGrey,    F0,   8},
{"Frame4",   Frame,   "",              "",       1920, 1440, 1695,  855, kGrey,    F0,  10},
{"Frame7",   Frame,   "",              "",       3720, 1440, 1695,  855, kGrey,    F0,  22},
{"Frame5",   Frame,   "",              "",       5520, 1440, 1815,  855, kGrey,    F0,  12},
{"Command5", Button,  "↑",             "",       1200, 2520,  855,  375, kPeach,   F3,  17},
{"Label3",   Label,   "VOL",           "",       3600, 2520,  495,  255, kGrey,    F0,   7, Center},
{"Label13",  Label,   "Zoom",          "",       4440, 2520,  492,  252, kGrey,    F1,  53},
{"Label14",  Label,   "Focus",         "",       5280, 2520,  615,  255, kGrey,    F1,  56},
{"Label17",  Label,   "D.Zoom",        "",       6360, 2520,  735,  255, kGrey,    F1,  63},
{"Label18",  Label,   "Keystone",      "",       7320, 2520,  855,  255, kGrey,    F1,  66},
{"Command13",Button,  "A-IMAGE",       "",       8400, 2760,  975,  250, kTeal,    F1,  24},
{"Command1", Button,  "+",             "",       3600, 2880,  375,  255, kApricot, F0,   5},
{"Command15",Button,  "+",             "",       4440, 2880,  375,  255, kCyan,    F1,  51},
{"Command36",Button,  "+",             "",       5280, 2880,  375,  255, kCyan,    F1,  54},
{"Command48",Button,  "+",             "",       6480, 2880,  375,  255, kCyan,    F2,  61},
{"Command50",Button,  "+",             "",       7440, 2880,  375,  255, kCyan,    F1,  64},
{"Command9", Button,  "←",             "",        240, 3000,  855,  375, kPeach,   F3,  21},
{"Command6", Button,  "ENTER",         "",       1200, 3000,  855,  375, kOrange,  F1,  18},
{"Command8", Button,  "→",             "",       2160, 3000,  855,  375, kPeach,   F3,  20},
{"Command30",Button,  "IMAGE",         "",       8400, 3120,  975,  255, kBlue,    F1,  76},
{"Command2", Button,  "-",             "",       3600, 3240,  375,  255, kApricot, F0,   6},
{"Command35",Button,  "-",             "",       4440, 3240,  375,  255, kCyan,    F1,  52},
{"Command37",Button,  "-",             "",       5280, 3240,  375,  255, kCyan,    F1,  55},
{"Command49",Button,  "-",             "",       6480, 3240,  375,  255, kCyan,    F1,  62},
{"Command51",Button,  "-",             "",       7440, 3240,  375,  255, kCyan,    F1,  65},
{"Command14",Button,  "P-TIMER",       "",       8400, 3360,  975,  250, kBlue,    F1,  25},
{"Command7", Button,  "↓",             "",       1200, 3480,  855,  375, kPeach,   F3,  19},
{"Frame8",   Frame,   "",              "",       3480, 3600, 2775, 1185, kGrey,    F0,  42,
    Left, kBlack, kNoBorder, kHidden},
{"Command3", Button,  "DISPLAY CLEAR", "",       8400, 3600,  975,  492, kBlue,    F1,  16},
{"Label19",  Label,   "R/C KEY OFF",   "",       6600, 3720, 1332,  252, kGrey,    F1,  71},
{"Command56",Button,  "NONE",          "",       6600, 3960, 1200,  372, kCyan,    F1,  68},
{"Command4", Button,  "STAND",         "",        240, 4080,  975,  255, kCyan,    F1,  80},
{"Command10",Button,  "REAL",          "",       1200, 4080,  975,  255, kCyan,    F1,  81},
{"Command11",Button,  "CINEMA",        "",       2160, 4080,  975,  255, kCyan,    F1,  82},
{"Command33",Button,  "COM",           "",       4080, 4200, 1815,  375, kFace,    F2,  41},
{"Command39",Button,  "IMAGE1",        "",        240, 4320,  975,  255, kCyan,    F1,  83},
{"Command40",Button,  "IMAGE2",        "",       1200, 4320,  975,  255, kCyan,    F1,  84},
{"Command41",Button,  "IMAGE3",        "",       2160, 4320,  975,  255, kCyan,    F1,  85},
{"Command57",Button,  "R/C",           "",       6600, 4320,  606,  372, kCyan,    F1,  69},
{"Command58",Button,  "KEY",           "",       7200, 4320,  606,  372, kCyan,    F1,  70},
{"Command16",Button,  "END",           "",       8400, 4320,  975,  375, kGrey,    F0,  26},
{"Command42",Button,  "IMAGE4",        "",        240, 4560,  975,  255, kCyan,    F1,  86},
{"Frame9",   Frame,   "",              "",         45, 4920, 6312, 1290, kGrey,    F0,  45},
{"Command34",Button,  "データを表示する","",       6600, 5040, 1200,  375, kGrey,    F2,  50,
    Left, kBlack, kNoBorder, kHidden},
{"Command52",Button,  "P-FAIL",        "",       8400, 5160,  975,  255, kPeach,   F0,  87},
{"Command44",Button,  "STATUS",        "",       6480, 5640,  975,  255, kCyan,    F4,  57},
{"Command46",Button,  "L-TIME",        "",       7440, 5640,  975,  255, kCyan,    F4,  59},
{"Command54",Button,  "TEMP",          "",       8400, 5640,  975,  252, kCyan,    F4,  67},
{"Command45",Button,  "MODE",          "",       6480, 5880,  975,  255, kCyan,    F4,  58},
{"Command47",Button,  "SETTING",       "",       7440, 5880,  975,  255, kCyan,    F4,  60},
{"Frame14",  Frame,   "",              "",        120, 6735, 7215, 1320, kGrey,    F0,  88},
{"Frame16",  Frame,   "",              "",       7440, 6750, 1935,  945, kGrey,    F0, 105},
{"Frame15",  Frame,   "",              "",        120, 8040, 7215,  570, kGrey,    F0, 100},
// Power
{"Label1",   Label,   "POWER",         "Frame1",  240,  240, 1095,  255, kGrey,    F0,   2,
    Center, kDarkRed},
{"Command17",Button,  "ON",            "Frame1",  120,  600,  615,  300, kGreen,   F3,   1},
{"Command18",Button,  "OFF",           "Frame1",  960,  600,  615,  300, kPink,    F3,  27},
// Input
{"Label2",   Label,   "INPUT MODE SET","Frame2",  480,  240, 1935,  255, kGrey,    F0,   4, Center},
{"Command27",Button,  "1",             "Frame2",  240,  600,  495,  300, kCyan,    F3,  36},
{"Command28",Button,  "2",             "Frame2",  960,  600,  495,  300, kCyan,    F3,  37},
{"Command29",Button,  "3",             "Frame2", 1680,  600,  495,  300, kCyan,    F3,  38},
{"Command43",Button,  "LAN",           "Frame2", 2280,  600,  495,  300, kCyan,    F0, 111},
// Menu
{"Label7",   Label,   "MENU",          "Frame6",  360,  240,  975,  255, kGrey,    F0,  15, Center},
{"Command23",Button,  "ON",            "Frame6",  120,  600,  615,  300, kGreen,   F3,  32},
{"Command24",Button,  "OFF",           "Frame6",  960,  600,  615,  300, kPink,    F3,  33},
// Lens shift
{"Label20",  Label,   "LENS SHIFT",    "Frame10", 120,  195, 1455,  300, kGrey,    F0,  75, Center},
{"Command59",Button,  "↑",             "Frame10", 600,  720,  492,  252, kPeach,   F6,  73},
{"Command62",Button,  "↓",             "Frame10", 588, 1200,  492,  252, kPeach,   F6,  74},
// Sound mute
{"Label4",   Label,   "SOUND MUTE",    "Frame3",  120,  195, 1455,  300, kGrey,    F0,   9, Center},
{"Command19",Button,  "ON",            "Frame3",  120,  480,  615,  300, kGreen,   F3,  28},
{"Command20",Button,  "OFF",           "Frame3",  960,  480,  615,  300, kPink,    F3,  29},
// No show
{"Label5",   Label,   "NO SHOW",       "Frame4",  360,  210, 1095,  285, kGrey,    F0,  11, Center},
{"Command21",Button,  "ON",            "Frame4",  120,  480,  615,  300, kGreen,   F3,  30},
{"Command22",Button,  "OFF",           "Frame4",  960,  480,  615,  300, kPink,    F3,  31},
// Freeze
{"Label8",   Label,   "FREEZE",        "Frame7",  240,  210, 1215,  285, kGrey,    F0,  23, Center},
{"Command25",Button,  "ON",            "Frame7",  120,  480,  615,  300, kGreen,   F3,  34},
{"Command26",Button,  "OFF",           "Frame7",  960,  480,  615,  300, kPink,    F3,  35},
// AV size
{"Label6",   Label,   "AV Size",       "Frame5",  240,  210, 1335,  285, kGrey,    F0,  13, Center},
{"Command31",Button,  "Regular",       "Frame5",  120,  480,  855,  300, kCyan,    F2,  39},
{"Command32",Button,  "Wide",          "Frame5", 1080,  480,  615,  300, kCyan,    F2,  40},
// Settings: port, then speed in its own group
{"Option1",  Option,  "COM1",          "Frame8",  240,  240, 1215,  255, kGrey,    F0,  43},
{"Option2",  Option,  "COM2",          "Frame8", 1560,  240, 1095,  255, kGrey,    F0,  44},
{"Frame13",  Frame,   "",              "Frame8",  120,  480, 2535,  615, kGrey,    F0,  77},
{"Option9",  Option,  "19200",         "Frame13", 120,  240, 1095,  255, kGrey,    F0,  78},
{"Option10", Option,  "9600",          "Frame13",1440,  240,  975,  300, kGrey,    F0,  79},
// Traffic monitor
{"Label11",  Label,   "",              "Frame9",  600,  180, 5610,  300, kWhite,   F9,  48,
    Left, kBlack, kBorder},
{"Label9",   Label,   "TXD",           "Frame9",  105,  210,  390,  285, kGrey,    F1,  46, Right},
{"Label12",  Label,   "",              "Frame9",  600,  540, 5616,  300, kWhite,   F9,  49,
    Left, kBlack, kBorder},
{"Label10",  Label,   "RXD",           "Frame9",   75,  555,  450,  300, kGrey,    F1,  47, Right},
{"Label22",  Label,   "",              "Frame9",  930,  915, 5295,  300, kWhite,   F3, 109,
    Left, kRed, kBorder},
{"Label23",  Label,   "STATUS",        "Frame9",  120,  960,  735,  225, kGrey,    F5, 110},
// Terminals, three rows
{"Label15",  Label,   "1",             "Frame14", 120,  240,  255,  255, kGrey,    F0,  97},
{"Command64",Button,  "RGB",           "Frame14", 480,  240,  975,  255, kCyan,    F1,  89},
{"Command65",Button,  "SCART",         "Frame14",1440,  240,  975,  255, kCyan,    F1,  90},
{"Command38",Button,  "DVI",           "Frame14",2400,  240,  975,  255, kCyan,    F1, 113},
{"Command53",Button,  "HDCP",          "Frame14",3360,  240,  975,  255, kCyan,    F1, 114},
{"Command76",Button,  "Monitor OUT",   "Frame14",4320,  240, 2415,  255, kPeach,   F1,  92},
{"Label16",  Label,   "2",             "Frame14", 120,  480,  255,  255, kGrey,    F0,  98},
{"Command72",Button,  "RGB",           "Frame14", 480,  480,  975,  255, kCyan,    F1,  91},
{"Command12",Button,  "VIDEO",         "Frame14",1440,  480,  975,  255, kCyan,    F1, 112},
{"Command80",Button,  "Y,Pb/Cb,Pr/Cr", "Frame14",2400,  480, 1695,  255, kCyan,    F1,  93},
{"Label24",  Label,   "3",             "Frame14", 120,  720,  255,  255, kGrey,    F0,  99},
{"Command81",Button,  "VIDEO",         "Frame14", 480,  720,  975,  255, kCyan,    F1,  94},
{"Command84",Button,  "S-VIDEO",       "Frame14",1440,  720,  975,  255, kCyan,    F1,  96},
{"Command82",Button,  "Y,Pb/Cb,Pr/Cr", "Frame14",2400,  720, 1695,  255, kCyan,    F1,  95},
// Fan speed
{"Label27",  Label,   "FAN SPEED",     "Frame16", 345,  285, 1215,  255, kGrey,    F0, 106},
{"Command97",Button,  "MAX",           "Frame16", 120,  600,  855,  255, kGreen,   F0, 107},
{"Command98",Button,  "NOR",           "Frame16", 960,  600,  855,  255, kGreen,   F0, 108},
// Command entry
{"Label26",  Label,   "CMD",           "Frame15", 120,  240,  495,  255, kGrey,    F8, 104},
{"Text1",    TextBox, "",              "Frame15", 600,  165, 5055,  345, kEdit,    F7, 101},
{"Command95",Button,  "SEND",          "Frame15",5760,  240,  735,  255, kGreen,   F0, 102},
{"Command96",Button,  "CLS",           "Frame15",6480,  240,  615,  255, kPink,    F0, 103},
};

// The outline of the menu pad's cross.
constexpr Line kLines[] = {
// name      x1    y1    x2    y2  style
{"Line1",  1080, 2400, 1080, 2880, 6},
{"Line2",  2160, 2400, 2160, 2880, 3},
{"Line3",  3120, 2880, 3120, 3480, 6},
{"Line4",  2160, 3480, 2160, 3960, 1},
{"Line5",  1080, 3480, 1080, 3960, 6},
{"Line6",   120, 2880,  120, 3480, 6},
{"Line7",  1080, 2400, 2160, 2400, 3},
{"Line8",   120, 2880, 1080, 2880, 6},
{"Line9",  2160, 2880, 3120, 2880, 2},
{"Line10",  120, 3480, 1080, 3480, 6},
{"Line11", 1080, 3960, 2160, 3960, 6},
{"Line12", 2160, 3480, 3120, 3480, 6},
};
// clang-format on

} // namespace

std::span<const Control> controls() { return kControls; }
std::span<const Line> lines() { return kLines; }

} // namespace layout

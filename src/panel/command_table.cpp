#include "panel/commands.h"

namespace panel {
namespace {

constexpr int kImage[2] = {2000, 2500};    // image modes and P-FAIL
constexpr int kTerminal[2] = {5000, 5500}; // input and output terminals

// clang-format off
constexpr OneShot kOneShots[] = {
    {"Command17", "C00", 0, 0, false},                   // POWER ON
    {"Command18", "C01", 0, 0, false},                   // POWER OFF
    {"Command27", "C05", 0, 0, false},                   // INPUT MODE SET 1
    {"Command28", "C06", 0, 0, false},                   // 2
    {"Command29", "C07", 0, 0, false},                   // 3
    {"Command43", "C08", 0, 0, false},                   // LAN
    {"Command19", "C0B", 0, 0, false},                   // SOUND MUTE ON
    {"Command20", "C0C", 0, 0, false},                   // SOUND MUTE OFF
    {"Command21", "C0D", 0, 0, false},                   // NO SHOW ON
    {"Command22", "C0E", 0, 0, false},                   // NO SHOW OFF
    {"Command25", "C43", 0, 0, false},                   // FREEZE ON
    {"Command26", "C44", 0, 0, false},                   // FREEZE OFF
    {"Command31", "C0F", 0, 0, false},                   // AV Size Regular
    {"Command32", "C10", 0, 0, false},                   // AV Size Wide
    {"Command23", "C1C", 0, 0, true},                    // MENU ON
    {"Command24", "C1D", 0, 0, false},                   // MENU OFF
    {"Command13", "C89", 0, 0, true},                    // A-IMAGE
    {"Command30", "C27", 0, 0, false},                   // IMAGE
    {"Command14", "C8A", 0, 0, false},                   // P-TIMER
    {"Command3",  "C1E", 0, 0, false},                   // DISPLAY CLEAR
    {"Command4",  "CF IMAGE STAND",   kImage[0], kImage[1], false},
    {"Command10", "CF IMAGE REAL",    kImage[0], kImage[1], false},
    {"Command11", "CF IMAGE CINEMA",  kImage[0], kImage[1], false},
    {"Command39", "CF IMAGE CUSTOM1", kImage[0], kImage[1], false}, // IMAGE1
    {"Command40", "CF IMAGE CUSTOM2", kImage[0], kImage[1], false},
    {"Command41", "CF IMAGE CUSTOM3", kImage[0], kImage[1], false},
    {"Command42", "CF IMAGE CUSTOM4", kImage[0], kImage[1], false},
    {"Command56", "CF KEYDIS NONE", 0, 0, false},        // R/C KEY OFF: NONE
    {"Command57", "CF KEYDIS RC",   0, 0, false},        // R/C
    {"Command58", "CF KEYDIS KEY",  0, 0, false},        // KEY
    {"Command44", "CR0", 0, 0, false},                   // STATUS
    {"Command45", "CR1", 0, 0, false},                   // MODE
    {"Command46", "CR3", 0, 0, false},                   // L-TIME
    {"Command47", "CR4", 0, 0, false},                   // SETTING
    {"Command54", "CR6", 0, 0, false},                   // TEMP
    {"Command52", "CR INFPFAIL", kImage[0], kImage[1], false}, // P-FAIL
    {"Command64", "C50", kTerminal[0], kTerminal[1], false},   // 1: RGB
    {"Command65", "C51", kTerminal[0], kTerminal[1], false},   // 1: SCART
    {"Command38", "C52", kTerminal[0], kTerminal[1], false},   // 1: DVI
    {"Command53", "C53", kTerminal[0], kTerminal[1], false},   // 1: HDCP
    {"Command76", "C54", kTerminal[0], kTerminal[1], false},   // 1: Monitor OUT
    {"Command72", "C25", kTerminal[0], kTerminal[1], false},   // 2: RGB
    {"Command12", "C23", kTerminal[0], kTerminal[1], false},   // 2: VIDEO
    {"Command80", "C24", kTerminal[0], kTerminal[1], false},   // 2: Y,Pb/Cb,Pr/Cr
    {"Command81", "C33", kTerminal[0], kTerminal[1], false},   // 3: VIDEO
    {"Command84", "C34", kTerminal[0], kTerminal[1], false},   // 3: S-VIDEO
    {"Command82", "C35", kTerminal[0], kTerminal[1], false},   // 3: Y,Pb/Cb,Pr/Cr
    {"Command97", "CF FANSPEED MAX", 0, 0, false},       // FAN SPEED MAX
    {"Command98", "CF FANSPEED NOR", 0, 0, false},       // FAN SPEED NOR
};

constexpr Hold kHolds[] = {
//   control      key code   period timeout clear arrow  dzoom
    {"Command1",   1, "C09", 250, 200, 245, false, false}, // VOL +
    {"Command2",   2, "C0A", 250, 200, 245, false, false}, // VOL -
    {"Command15",  7, "C47", 150, 150, 190, false, false}, // Zoom +
    {"Command35",  8, "C46", 150, 150, 190, false, false}, // Zoom -
    {"Command36",  9, "C4B", 150, 150, 190, false, false}, // Focus +
    {"Command37", 10, "C4A", 150, 150, 190, false, false}, // Focus -
    {"Command48", 17, "C30", 250, 200, 245, false, true},  // D.Zoom +
    {"Command49", 18, "C31", 250, 200, 245, false, true},  // D.Zoom -
    {"Command50", 19, "C8E", 250, 200, 245, false, false}, // Keystone +
    {"Command51", 20, "C8F", 250, 200, 245, false, false}, // Keystone -
    {"Command59", 21, "C5D", 150, 150, 190, false, false}, // LENS SHIFT up
    {"Command62", 22, "C5E", 150, 150, 190, false, false}, // LENS SHIFT down
    {"Command6",  13, "C3F", 500, 200, 245, false, false}, // ENTER
    {"Command5",   3, "C3C",   0,   0,   0, true,  false}, // menu up
    {"Command7",   4, "C3D",   0,   0,   0, true,  false}, // menu down
    {"Command9",   5, "C3B",   0,   0,   0, true,  false}, // menu left
    {"Command8",   6, "C3A",   0,   0,   0, true,  false}, // menu right
};

constexpr ArrowSpeedRow kArrowSpeeds[] = {
    {0, 0, 0},     // as started: the arrows leave the intervals alone
    {1, 150, 190}, // after MENU "ON" or "A-IMAGE"
    {3, 5, 5},     // after a D.Zoom release
};

constexpr Repeat kRepeats[] = {
    {1, "C09"},  {2, "C0A"},  {3, "C3C"},  {4, "C3D"},  {5, "C3B"},  {6, "C3A"},
    {7, "C47"},  {8, "C46"},  {9, "C4B"},  {10, "C4A"}, {13, "C3F"}, {17, "C30"},
    {18, "C31"}, {19, "C8E"}, {20, "C8F"}, {21, "C5D"}, {22, "C5E"},
};
// clang-format on

} // namespace

std::span<const OneShot> oneShots() { return kOneShots; }
std::span<const Hold> holds() { return kHolds; }
std::span<const ArrowSpeedRow> arrowSpeeds() { return kArrowSpeeds; }
std::span<const Repeat> repeats() { return kRepeats; }

const Hold *holdForKey(quint8 key)
{
    for (const Hold &h : kHolds)
        if (h.key == key)
            return &h;
    return nullptr;
}

const char *repeatCode(quint8 key)
{
    for (const Repeat &r : kRepeats)
        if (r.key == key)
            return r.code;
    return nullptr;
}

const ArrowSpeedRow *arrowSpeed(quint8 speed)
{
    for (const ArrowSpeedRow &a : kArrowSpeeds)
        if (a.speed == speed)
            return &a;
    return nullptr;
}

} // namespace panel

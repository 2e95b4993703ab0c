// SPDX-License-Identifier: MIT
#include "protocol/catalogue.h"

#include <algorithm>

namespace protocol {
namespace {

using enum Kind;

// Reply window / display clear of the families that set their own.
constexpr int kImageReply = 2000, kImageClear = 2500;       // image modes and P-FAIL
constexpr int kTerminalReply = 5000, kTerminalClear = 5500; // input and output terminals

// clang-format off
constexpr Command kCommands[] = {
// name                   code                 kind       what
{"power-on",              "C00",               OneShot,   "Power on"},
{"power-off",             "C01",               OneShot,   "Power off (stand-by)"},
{"input-1",               "C05",               OneShot,   "Input mode 1"},
{"input-2",               "C06",               OneShot,   "Input mode 2"},
{"input-3",               "C07",               OneShot,   "Input mode 3"},
{"input-lan",             "C08",               OneShot,   "Input mode LAN"},
{"sound-mute-on",         "C0B",               OneShot,   "Sound mute on"},
{"sound-mute-off",        "C0C",               OneShot,   "Sound mute off"},
{"no-show-on",            "C0D",               OneShot,   "No show (picture off) on"},
{"no-show-off",           "C0E",               OneShot,   "No show (picture off) off"},
{"freeze-on",             "C43",               OneShot,   "Freeze the picture"},
{"freeze-off",            "C44",               OneShot,   "Unfreeze the picture"},
{"av-size-regular",       "C0F",               OneShot,   "AV size regular"},
{"av-size-wide",          "C10",               OneShot,   "AV size wide"},
{"menu-on",               "C1C",               OneShot,   "Menu on",
    0, 0, 0, Effect::PrimeArrows},
{"menu-off",              "C1D",               OneShot,   "Menu off"},
{"a-image",               "C89",               OneShot,   "A-IMAGE key",
    0, 0, 0, Effect::PrimeArrows},
{"image",                 "C27",               OneShot,   "IMAGE key"},
{"p-timer",               "C8A",               OneShot,   "P-TIMER key"},
{"display-clear",         "C1E",               OneShot,   "DISPLAY CLEAR key"},
{"image-stand",           "CF IMAGE STAND",    OneShot,   "Image mode STAND",   kImageReply, kImageClear},
{"image-real",            "CF IMAGE REAL",     OneShot,   "Image mode REAL",    kImageReply, kImageClear},
{"image-cinema",          "CF IMAGE CINEMA",   OneShot,   "Image mode CINEMA",  kImageReply, kImageClear},
{"image-1",               "CF IMAGE CUSTOM1",  OneShot,   "Image mode IMAGE1 (custom 1)", kImageReply, kImageClear},
{"image-2",               "CF IMAGE CUSTOM2",  OneShot,   "Image mode IMAGE2 (custom 2)", kImageReply, kImageClear},
{"image-3",               "CF IMAGE CUSTOM3",  OneShot,   "Image mode IMAGE3 (custom 3)", kImageReply, kImageClear},
{"image-4",               "CF IMAGE CUSTOM4",  OneShot,   "Image mode IMAGE4 (custom 4)", kImageReply, kImageClear},
{"keys-off-none",         "CF KEYDIS NONE",    OneShot,   "Remote control and panel keys both on"},
{"keys-off-remote",       "CF KEYDIS RC",      OneShot,   "Remote control keys off"},
{"keys-off-panel",        "CF KEYDIS KEY",     OneShot,   "Projector's panel keys off"},
{"status",                "CR0",               OneShot,   "Ask the power state"},
{"input-mode",            "CR1",               OneShot,   "Ask the input mode"},
{"lamp-time",             "CR3",               OneShot,   "Ask the lamp hours"},
{"setting",               "CR4",               OneShot,   "Ask the picture orientation"},
{"temp",                  "CR6",               OneShot,   "Ask the three temperatures"},
{"p-fail",                "CR INFPFAIL",       OneShot,   "Ask the power failure information", kImageReply, kImageClear},
{"terminal-1-rgb",        "C50",               OneShot,   "Terminal 1: RGB",           kTerminalReply, kTerminalClear},
{"terminal-1-scart",      "C51",               OneShot,   "Terminal 1: SCART",         kTerminalReply, kTerminalClear},
{"terminal-1-dvi",        "C52",               OneShot,   "Terminal 1: DVI",           kTerminalReply, kTerminalClear},
{"terminal-1-hdcp",       "C53",               OneShot,   "Terminal 1: HDCP",          kTerminalReply, kTerminalClear},
{"monitor-out",           "C54",               OneShot,   "Terminal 1: Monitor OUT",   kTerminalReply, kTerminalClear},
{"terminal-2-rgb",        "C25",               OneShot,   "Terminal 2: RGB",           kTerminalReply, kTerminalClear},
{"terminal-2-video",      "C23",               OneShot,   "Terminal 2: VIDEO",         kTerminalReply, kTerminalClear},
{"terminal-2-component",  "C24",               OneShot,   "Terminal 2: Y,Pb/Cb,Pr/Cr", kTerminalReply, kTerminalClear},
{"terminal-3-video",      "C33",               OneShot,   "Terminal 3: VIDEO",         kTerminalReply, kTerminalClear},
{"terminal-3-s-video",    "C34",               OneShot,   "Terminal 3: S-VIDEO",       kTerminalReply, kTerminalClear},
{"terminal-3-component",  "C35",               OneShot,   "Terminal 3: Y,Pb/Cb,Pr/Cr", kTerminalReply, kTerminalClear},
{"fan-max",               "CF FANSPEED MAX",   OneShot,   "Fan speed maximum"},
{"fan-normal",            "CF FANSPEED NOR",   OneShot,   "Fan speed normal"},
// Hold buttons: reply window, display clear, repeat period
{"volume-up",             "C09",               Hold,      "Volume up",              200, 245, 250},
{"volume-down",           "C0A",               Hold,      "Volume down",            200, 245, 250},
{"zoom-in",               "C47",               Hold,      "Zoom in",                150, 190, 150},
{"zoom-out",              "C46",               Hold,      "Zoom out",               150, 190, 150},
{"focus-plus",            "C4B",               Hold,      "Focus +",                150, 190, 150},
{"focus-minus",           "C4A",               Hold,      "Focus -",                150, 190, 150},
{"d-zoom-in",             "C30",               Hold,      "Digital zoom in",
    200, 245, 250, Effect::FastArrowsOnRelease},
{"d-zoom-out",            "C31",               Hold,      "Digital zoom out",
    200, 245, 250, Effect::FastArrowsOnRelease},
{"keystone-plus",         "C8E",               Hold,      "Keystone +",             200, 245, 250},
{"keystone-minus",        "C8F",               Hold,      "Keystone -",             200, 245, 250},
{"lens-shift-up",         "C5D",               Hold,      "Lens shift up",          150, 190, 150},
{"lens-shift-down",       "C5E",               Hold,      "Lens shift down",        150, 190, 150},
{"menu-enter",            "C3F",               Hold,      "Menu ENTER",             200, 245, 500},
// Menu arrows: timings from the arrow speed, the repeat period left by the last event
{"menu-up",               "C3C",               MenuArrow, "Menu cursor up"},
{"menu-down",             "C3D",               MenuArrow, "Menu cursor down"},
{"menu-left",             "C3B",               MenuArrow, "Menu cursor left"},
{"menu-right",            "C3A",               MenuArrow, "Menu cursor right"},
};

constexpr ArrowTiming kArrowTimings[] = {
    {ArrowSpeed::AsStarted, 0, 0}, // the arrows leave the intervals alone
    {ArrowSpeed::Primed, 150, 190},
    {ArrowSpeed::Fast, 5, 5},
};
// clang-format on

} // namespace

std::span<const Command> commands() { return kCommands; }

const Command *findCommand(std::string_view name)
{
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const Command &c) { return c.name == name; });
    return it == std::end(kCommands) ? nullptr : it;
}

QString commandString(std::string_view code)
{
    return QString::fromLatin1(code) + QLatin1Char('\r');
}

const ArrowTiming &arrowTiming(ArrowSpeed speed)
{
    for (const ArrowTiming &a : kArrowTimings)
        if (a.speed == speed)
            return a;
    return kArrowTimings[0];
}

} // namespace protocol

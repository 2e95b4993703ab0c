// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <span>
#include <string_view>

// Every command the panel sends from a button, with everything that differs from one to the
// next: its name, its code, what it does, and the timings its click, press or release sets.
// The window, the session and odra read this one table. Captions never identify a command:
// "ON", "OFF", "RGB", "VIDEO", "+" and "-" stand on several buttons that send different codes.
namespace protocol {

enum class Kind : quint8 {
    OneShot,   // sends once per click
    Hold,      // sends on press and repeats while held, at its own period
    MenuArrow, // a hold button whose press takes its timings from the arrow speed
};

// What a command does besides sending.
enum class Effect : quint8 {
    None,
    PrimeArrows,         // after the send: repeat period 200 ms, arrow speed Primed (MENU ON, A-IMAGE)
    FastArrowsOnRelease, // its release: repeat period 5 ms, arrow speed Fast (D.Zoom)
};

struct Command
{
    std::string_view name; // "power-on": stable, the name odra takes and the button's object name
    std::string_view code; // "C00", without the carriage return
    Kind kind;
    std::string_view what; // what it does, in a few words ("Power on")
    // One-shots: set before sending, 0 where the command leaves them as they are.
    // Hold buttons: set just after the press's send, with the repeat period.
    int replyWindowMs = 0;
    int displayClearMs = 0;
    int repeatMs = 0;
    Effect effect = Effect::None;
};

std::span<const Command> commands();
// nullptr when no command has that name.
const Command *findCommand(std::string_view name);

// The command string of a code: the code and one carriage return.
QString commandString(std::string_view code);

// How fast the menu arrows go: the reply window and display clear their press sets.
enum class ArrowSpeed : quint8 { AsStarted, Primed, Fast };
struct ArrowTiming
{
    ArrowSpeed speed;
    int replyWindowMs; // 0: left as it is
    int displayClearMs;
};
const ArrowTiming &arrowTiming(ArrowSpeed speed);

// The window's timers as the panel starts, and the values events set.
constexpr int kStartRepeatMs = 200;
constexpr int kStartReplyWindowMs = 500;
constexpr int kStartDisplayClearMs = 1000;
constexpr int kSettingsCloseMs = 5000;
constexpr int kPrimedRepeatMs = 200; // after MENU ON or A-IMAGE
constexpr int kFastRepeatMs = 5;     // after a D.Zoom release
constexpr int kReleaseReplyWindowMs = 500; // every release of a hold button
constexpr int kReleaseDisplayClearMs = 1000;
constexpr int kTypedReplyWindowMs = 2000; // SEND of a typed command
constexpr int kTypedDisplayClearMs = 2500;

} // namespace protocol

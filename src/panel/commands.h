#pragma once

#include <QtGlobal>

#include <span>
#include <string_view>

// What each button sends, keyed by control name. Captions never identify a button: "ON", "OFF",
// "RGB", "VIDEO", "+" and "-" stand on several buttons that send different codes.
namespace panel {

// A button that sends its code once per click.
struct OneShot
{
    std::string_view control;
    const char *code;  // without the carriage return
    int replyTimeout;  // Timer2 interval set before sending, ms; 0: left as it is
    int displayClear;  // Timer4 interval set before sending, ms; 0: left as it is
    bool primesArrows; // after sending: Timer1 200 ms, ArrowSpeed 1 (MENU "ON", "A-IMAGE")
};

// A button that sends on press and repeats while held.
struct Hold
{
    std::string_view control;
    quint8 key;       // HeldKey while it is down
    const char *code; // without the carriage return
    // Set just after the first send. 0 for the menu arrows: they keep Timer1's interval and
    // take Timer2/Timer4 from the arrow-speed table before sending.
    int repeatPeriod;
    int replyTimeout;
    int displayClear;
    bool menuArrow;
    bool digitalZoom; // its release leaves Timer1 at 5 ms and ArrowSpeed 3
};

// What a press of a menu arrow sets by ArrowSpeed.
struct ArrowSpeedRow
{
    quint8 speed;
    int replyTimeout; // 0: left as it is
    int displayClear;
};

// What the repeat sends for each HeldKey.
struct Repeat
{
    quint8 key;
    const char *code;
};

constexpr int kPrimedRepeatPeriod = 200; // Timer1 after MENU "ON" / "A-IMAGE"
constexpr quint8 kPrimedArrowSpeed = 1;
constexpr int kDigitalZoomRepeatPeriod = 5; // Timer1 after a D.Zoom release
constexpr quint8 kDigitalZoomArrowSpeed = 3;
constexpr int kNormalReplyTimeout = 500; // what every release of a hold button restores
constexpr int kNormalDisplayClear = 1000;
constexpr int kCommandEntryReplyTimeout = 2000; // SEND of a typed command
constexpr int kCommandEntryDisplayClear = 2500;

std::span<const OneShot> oneShots();
std::span<const Hold> holds();
std::span<const ArrowSpeedRow> arrowSpeeds();
std::span<const Repeat> repeats();

const Hold *holdForKey(quint8 key);
const char *repeatCode(quint8 key); // nullptr for a key no button has
const ArrowSpeedRow *arrowSpeed(quint8 speed);

} // namespace panel

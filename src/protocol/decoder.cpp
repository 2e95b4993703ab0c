// SPDX-License-Identifier: MIT
#include "protocol/decoder.h"

#include "protocol/pressure.h"

#include <algorithm>
#include <span>

namespace status {
namespace {

// One status code: the decode key as it stands at the start of the RXD line, and its text. The
// texts are the projector's own wording and are shown exactly as they are, blanks included.
struct StatusRow
{
    QStringView key;
    QStringView text;
};

// Power state.
constexpr StatusRow kPowerRows[] = {
    {u" 0 0", u" Power ON"},
    {u" 8 0", u" Stand by"},
    {u" 4 0", u" Count down"},
    {u" 2 0", u" Cooling down"},
    {u" 1 0", u" Power Fail"},
    {u" 0 8", u" Temperature Warning(Power ON)"},
    {u" 0 2", u" NO Key input "},
    {u" 0 4", u" Lamp OFF by PWR Management"},
    {u" 2 8", u" Temperature Warning & cooling down"},
    {u" 2 4", u" Lamp OFF & Tempereture Warning by PWR Management"},
    {u" 8 8", u" Temperature Warning and recoverd"},
    {u" 2 1", u" Cooling down (All Lamp FAIL)"},
    {u" 8 1", u" Cooling down & sutandby (All Lamp FAIL)"},
};

// Input terminal.
constexpr StatusRow kInputRows[] = {
    {u" 1", u" Input mode 1"},
    {u" 2", u" Input mode 2"},
    {u" 3", u" Input mode 3"},
    {u" 4", u" Input mode 4"},
};

// Picture orientation.
constexpr StatusRow kMirrorRows[] = {
    {u" 1 1", u" Normally"},
    {u" 1 0", u" Top/Bottom reversal"},
    {u" 0 1", u" Left/Right reversal"},
    {u" 0 0", u" Top/Bottom , Left/Right reversal"},
};

// Video and audio mute.
constexpr StatusRow kMuteRows[] = {
    {u" 0 0", u" Video & Audio mute OFF"},
    {u" 0 1", u" Video mute ON"},
    {u" 0 2", u" Audio mute ON"},
    {u" 0 3", u" Video & Audio mute ON"},
    {u" 8 0", u" No signal"},
    {u" F F", u" Stand by"},
};

// Lamps lit and lamp mode.
constexpr StatusRow kLampRows[] = {
    {u" 0 0", u" All OFF : 2 Lamp mode"},
    {u" 0 1", u" No1 ON  : 2 Lamp mode"},
    {u" 0 2", u" No2 ON  : 2 Lamp mode"},
    {u" 0 3", u" No1,2 ON  : 2 Lamp mode"},
    {u" 1 0", u" All OFF : 1 Lamp mode(No1 USE)"},
    {u" 1 1", u" No1 ON  : 1 Lamp mode(No1 USE)"},
    {u" 2 0", u" All OFF : 1 Lamp mode(No2 USE)"},
    {u" 2 2", u" No2 ON  : 1 Lamp mode(No2 USE)"},
};

enum class Rule { Table, LampTime, Temperatures, Copy, Pressure };

// A status query: the whole command string (carriage return included) that asks it, and how its
// reply is read. Only the table rule uses keyLength and rows.
struct StatusQuery
{
    QStringView command;
    Query query;
    Rule rule;
    qsizetype keyLength = 0;
    std::span<const StatusRow> rows = {};
};

constexpr StatusQuery kQueries[] = {
    {u"CR0\r", Query::PowerState, Rule::Table, 4, kPowerRows},
    {u"CR1\r", Query::InputMode, Rule::Table, 2, kInputRows},
    {u"CR4\r", Query::Orientation, Rule::Table, 4, kMirrorRows},
    {u"CR3\r", Query::LampTime, Rule::LampTime},
    {u"CR6\r", Query::Temperatures, Rule::Temperatures},
    {u"CRA\r", Query::Mute, Rule::Table, 4, kMuteRows},
    {u"CR9\r", Query::Copy, Rule::Copy},
    {u"CR PRESSURE\r", Query::Pressure, Rule::Pressure},
    {u"CR7\r", Query::Lamps, Rule::Table, 4, kLampRows},
};

// The key is the start of the line, or the whole line while it is shorter; a key still short of
// its length matches no row, so a reply arriving in pieces is decoded once enough has come.
void lookUp(const StatusQuery &query, QStringView rxdLine, Decoded &decoded)
{
    const QStringView key = rxdLine.left(query.keyLength);
    for (qsizetype i = 0; i < qsizetype(query.rows.size()); ++i) {
        if (query.rows[i].key == key) {
            decoded.text = query.rows[i].text.toString();
            decoded.row = int(i);
            return;
        }
    }
}

// Characters first to first + count - 1 of the line, counted from 1; fewer, or none, where the
// line ends.
QStringView piece(QStringView line, qsizetype first, qsizetype count)
{
    const qsizetype from = first - 1;
    if (from >= line.size())
        return {};
    return line.sliced(from, std::min(count, line.size() - from));
}

QString lampTime(QStringView rxdLine)
{
    return rxdLine.left(38).toString() + QLatin1String(" Hour Use");
}

QString temperatures(QStringView rxdLine)
{
    QString text;
    text.reserve(64);
    text += QLatin1String("  S1=");
    text += piece(rxdLine, 1, 10);
    text += QLatin1String(" C  ,   S2= ");
    text += piece(rxdLine, 15, 8);
    text += QLatin1String(" C , S3=");
    text += piece(rxdLine, 25, 10);
    text += QLatin1String(" C");
    return text;
}

void pressure(QStringView rxdLine, Decoded &decoded)
{
    const qint64 value = convertPressure(readNumber(rxdLine));
    decoded.pressure = value;
    decoded.text = QString::number(value) + QLatin1String(" hPa");
}

} // namespace

Decoded decodeReply(QStringView lastCommand, QStringView rxdLine)
{
    Decoded decoded;
    const auto query = std::find_if(std::begin(kQueries), std::end(kQueries),
                                    [&](const StatusQuery &q) { return q.command == lastCommand; });
    if (query == std::end(kQueries))
        return decoded;

    decoded.query = query->query;
    switch (query->rule) {
    case Rule::Table: lookUp(*query, rxdLine, decoded); break;
    case Rule::LampTime: decoded.text = lampTime(rxdLine); break;
    case Rule::Temperatures: decoded.text = temperatures(rxdLine); break;
    case Rule::Copy: decoded.text = rxdLine.toString(); break;
    case Rule::Pressure: pressure(rxdLine, decoded); break;
    }
    return decoded;
}

bool isStatusQuery(QStringView command)
{
    return std::any_of(std::begin(kQueries), std::end(kQueries),
                       [&](const StatusQuery &q) { return q.command == command; });
}

} // namespace status

// SPDX-License-Identifier: MIT
#include "line/com_port_control.h"

#include "line/telnet_codec.h"

namespace comport {

namespace {

// The option's own numbers for parity and stop bits.
quint8 parityCode(Parity parity)
{
    switch (parity) {
    case Parity::None: return 1;
    case Parity::Odd: return 2;
    case Parity::Even: return 3;
    case Parity::Mark: return 4;
    case Parity::Space: return 5;
    }
    return 1;
}
quint8 stopCode(StopBits stop)
{
    return stop == StopBits::Two ? 2 : 1;
}
constexpr quint8 kNoFlowControl = 1;

QByteArray request(Request code, QByteArrayView value)
{
    QByteArray payload;
    payload += char(code);
    payload += value;
    return telnet::Codec::subnegotiation(telnet::kComPort, payload);
}

QByteArray oneByte(quint8 value)
{
    return QByteArray(1, char(value));
}

} // namespace

QByteArray settingsRequest(const LineSettings &settings)
{
    const auto baud = quint32(settings.baud);
    const char speed[4] = {char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud)};
    return request(kSetBaudRate, QByteArrayView(speed, 4)) +
           request(kSetDataSize, oneByte(quint8(settings.dataBits))) +
           request(kSetParity, oneByte(parityCode(settings.parity))) +
           request(kSetStopSize, oneByte(stopCode(settings.stopBits))) +
           request(kSetControl, oneByte(kNoFlowControl));
}

std::optional<Notice> readNotice(QByteArrayView payload)
{
    if (payload.isEmpty() || quint8(payload[0]) < kServerOffset ||
        quint8(payload[0]) > kServerOffset + kPurgeData)
        return std::nullopt;
    Notice notice{Request(quint8(payload[0]) - kServerOffset), 0};
    // A speed is four bytes, most significant first; every other value is one byte. The
    // signature is text, whose value nobody reads.
    const QByteArrayView value = payload.sliced(1);
    if (notice.request == kSetBaudRate) {
        if (value.size() != 4)
            return std::nullopt;
        for (const char c : value)
            notice.value = (notice.value << 8) | quint8(c);
    } else if (notice.request != kSignature && !value.isEmpty()) {
        notice.value = quint8(value[0]);
    }
    return notice;
}

QString disagreement(const Notice &notice, const LineSettings &asked)
{
    switch (notice.request) {
    case kSetBaudRate:
        if (notice.value != quint32(asked.baud))
            return QStringLiteral("%1 baud instead of %2").arg(notice.value).arg(asked.baud);
        break;
    case kSetDataSize:
        if (notice.value != quint32(asked.dataBits))
            return QStringLiteral("%1 data bits instead of %2")
                .arg(notice.value)
                .arg(asked.dataBits);
        break;
    case kSetParity:
        if (notice.value != parityCode(asked.parity))
            return QStringLiteral("parity %1 instead of %2")
                .arg(notice.value)
                .arg(parityCode(asked.parity));
        break;
    case kSetStopSize:
        if (notice.value != stopCode(asked.stopBits))
            return QStringLiteral("stop size %1 instead of %2")
                .arg(notice.value)
                .arg(stopCode(asked.stopBits));
        break;
    default: break;
    }
    return {};
}

} // namespace comport

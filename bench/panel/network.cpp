// SPDX-License-Identifier: MIT
// Through a serial device server: a second window whose COM1 is ser2net on loopback, serving a
// pseudo-terminal of its own (RFC 2217, then a raw TCP port). Click to far end and the 5 ms
// repeat's rhythm, each round taken beside the same on the direct pseudo-terminal, so that the
// figure shows what the network and ser2net add.
#include "clock.h"
#include "far_end.h"
#include "live_panel.h"
#include "sections.h"
#include "ser2net_process.h"

#include "line/device_line.h"

#include <QtTest>

#include <cstdio>

namespace bench {

namespace {

constexpr int kClickRounds = 150;
constexpr int kRepeats = 400;

using NetPanel = BasicLivePanel<DeviceLine>;

double clickToFarEnd(QWidget *button, FarEnd &far)
{
    runEventLoop(3);
    far.clear();
    const qint64 t0 = monoNs();
    QTest::mouseClick(button, Qt::LeftButton);
    if (!far.waitForCount(4, 500))
        return -1;
    const auto cmds = far.commands();
    return cmds.empty() ? -1 : nsToMs(cmds.front().ns - t0);
}

// A 5 ms menu-arrow hold of kRepeats repeats, after a D.Zoom press and release: the spacing
// errors of its sends at the far end, and how many the panel sent and the far end saw (a tick
// merged by a late event loop is one send fewer on both sides; a byte lost on the way would
// show as a difference).
struct Hold
{
    std::vector<double> errors;
    int sent = 0;
    int arrived = 0;
};

Hold fastHold(PanelSession &session, QWidget *prime, QWidget *arrow, FarEnd &far)
{
    QTest::mousePress(prime, Qt::LeftButton);
    QTest::mouseRelease(prime, Qt::LeftButton);
    far.waitForCount(4, 1000);
    runEventLoop(20);
    far.clear();
    Hold hold;
    const auto counter = QObject::connect(&session, &PanelSession::sent, [&hold] { ++hold.sent; });
    QTest::mousePress(arrow, Qt::LeftButton);
    runEventLoop(kRepeats * 5 + 2);
    QTest::mouseRelease(arrow, Qt::LeftButton);
    QObject::disconnect(counter);
    runEventLoop(50);
    const auto commands = far.commands();
    hold.arrived = int(commands.size());
    hold.errors = spacingErrors(commands, "C3C\r", 5, kRepeats);
    return hold;
}

void measureThrough(Bench &b, Ser2netProcess::Accepter accepter, const char *kind, bool withTargets)
{
    FarEnd far;
    Ser2netProcess server;
    if (!far.isValid() || !server.start(far.devicePath(), accepter)) {
        std::fprintf(stderr, "odra-bench: ser2net did not start; no %s figures\n%s\n", kind,
                     server.log().constData());
        return;
    }
    NetPanel net(server.url());
    for (int i = 0; i < 500 && !net.session->portOpen(); ++i)
        runEventLoop(10);
    if (!net.session->portOpen() || !net.warnings.isEmpty()) {
        std::fprintf(stderr, "odra-bench: the panel did not connect to %s\n",
                     qPrintable(server.url()));
        return;
    }
    runEventLoop(200);

    std::vector<double> network, direct;
    QWidget *netOn = net.control(QStringLiteral("power-on"));
    QWidget *directOn = b.control("power-on");
    for (int i = 0; i < kClickRounds; ++i) {
        runEventLoop(i % 3);
        if (const double ms = clickToFarEnd(netOn, far); ms >= 0)
            network.push_back(ms);
        if (const double ms = clickToFarEnd(directOn, b.far); ms >= 0)
            direct.push_back(ms);
    }
    const QString key = QStringLiteral("network.%1").arg(QLatin1String(kind));
    Figure latency(key + ".click_to_far_end",
                   QStringLiteral("%1: click ON -> first byte at the far end").arg(kind), "ms",
                   Summary::of(network));
    latency.floor = Summary::of(direct);
    latency.floorLabel = "the same click on the direct pseudo-terminal, same rounds";
    if (withTargets) {
        latency.target = "median <= 1";
        latency.met = latency.value.n >= kClickRounds / 2 && latency.value.median <= 1;
    }
    b.report.add(latency);

    const Hold netHold = fastHold(*net.session, net.control(QStringLiteral("d-zoom-in")),
                                  net.control(QStringLiteral("menu-up")), far);
    const Hold directHold =
        fastHold(*b.panel.session, b.control("d-zoom-in"), b.control("menu-up"), b.far);
    const std::vector<double> &netRhythm = netHold.errors;
    const std::vector<double> &directRhythm = directHold.errors;
    Figure rhythm(key + ".rhythm_5ms.error",
                  QStringLiteral("%1: repeat 5 ms, |spacing - period|").arg(kind), "ms",
                  Summary::of(netRhythm));
    rhythm.floor = Summary::of(directRhythm);
    rhythm.floorLabel = "the same hold on the direct pseudo-terminal, right after";
    if (withTargets) {
        rhythm.target = "median <= 0.5";
        rhythm.met = netRhythm.size() == std::size_t(kRepeats) && rhythm.value.median <= 0.5;
    }
    rhythm.note = QStringLiteral("%1 sends by the panel, %2 at the far end (direct: %3, %4)")
                      .arg(netHold.sent)
                      .arg(netHold.arrived)
                      .arg(directHold.sent)
                      .arg(directHold.arrived);
    rhythm.extra.insert("sent", netHold.sent);
    rhythm.extra.insert("arrived", netHold.arrived);
    b.report.add(rhythm);
}

} // namespace

void measureNetwork(Bench &b)
{
    if (!Ser2netProcess::available()) {
        std::fprintf(stderr, "odra-bench: ser2net is not installed; no network figures\n");
        return;
    }
    measureThrough(b, Ser2netProcess::Accepter::Rfc2217, "rfc2217", true);
    measureThrough(b, Ser2netProcess::Accepter::Raw, "raw", false);
}

} // namespace bench

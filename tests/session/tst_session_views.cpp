// SPDX-License-Identifier: MIT
// The hidden views and the typed command: how Ctrl+J, a double-click on the picture and the
// data-view button move between the views, and what a typed command sends.
#include "protocol/traffic.h"
#include "session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QString viewName(PanelSession::View view)
{
    switch (view) {
    case PanelSession::View::Opened: return QStringLiteral("Opened");
    case PanelSession::View::Extended: return QStringLiteral("Extended");
    case PanelSession::View::Full: return QStringLiteral("Full");
    case PanelSession::View::Compact: return QStringLiteral("Compact");
    case PanelSession::View::DataView: return QStringLiteral("DataView");
    }
    return QStringLiteral("?");
}

} // namespace

class SessionViewsTest : public QObject
{
    Q_OBJECT
private slots:
    void viewSequence_data();
    void viewSequence();
    void dataViewRestartsSettingsClose();
    void sendText_data();
    void sendText();
    void longTextGoesOutWhole();
};

void SessionViewsTest::viewSequence_data()
{
    // One session of events, each followed by the view it must leave: "extended" is Ctrl+J,
    // "full" a double-click on the picture, "data" the data-view button.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("views");
    QTest::newRow("nothing but Ctrl+J opens it")
        << QStringList({"full", "full"}) << QStringList({"Opened", "Opened"});
    QTest::newRow("Ctrl+J held down") << QStringList({"extended", "extended", "extended"})
                                      << QStringList({"Extended", "Extended", "Extended"});
    QTest::newRow("extended, full, back")
        << QStringList({"extended", "full", "extended", "full", "data", "full", "data"})
        << QStringList({"Extended", "Full", "Extended", "Full", "Compact", "Compact", "DataView"});
    QTest::newRow("three toggles from extended")
        << QStringList({"extended", "data", "data", "data"})
        << QStringList({"Extended", "Compact", "DataView", "Compact"});
    QTest::newRow("Ctrl+J from the data view")
        << QStringList({"extended", "data", "data", "full", "extended", "full", "data"})
        << QStringList(
               {"Extended", "Compact", "DataView", "DataView", "Extended", "Full", "Compact"});
}

void SessionViewsTest::viewSequence()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, views);
    SessionFixture f;
    PanelSession &s = *f.session;
    QString signalled = viewName(s.view());
    QObject::connect(&s, &PanelSession::viewChanged, &s,
                     [&](PanelSession::View view) { signalled = viewName(view); });
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QString &e = events[i];
        if (e == "extended")
            s.openExtendedView();
        else if (e == "full")
            s.openFullView();
        else if (e == "data")
            s.toggleDataView();
        else
            QFAIL(qPrintable("no event " + e));
        const QString got = viewName(s.view());
        QVERIFY2(got == views[i], qPrintable(QStringLiteral("after %1 (event %2): %3, not %4")
                                                 .arg(e)
                                                 .arg(i + 1)
                                                 .arg(got, views[i])));
        QCOMPARE(signalled, got); // a view that follows the signal shows the same
    }
}

void SessionViewsTest::dataViewRestartsSettingsClose()
{
    SessionFixture f;
    PanelSession &s = *f.session;
    s.openSettings();
    f.advance(3000);
    s.toggleDataView();
    f.advance(4999); // 7999 after COM: the frame would have closed at 5000
    QVERIFY(s.settingsOpen());
    f.advance(1);
    QVERIFY(!s.settingsOpen());
    QVERIFY(!s.settingsClose().isEnabled());

    // With the frame closed the button leaves it closed.
    QSignalSpy frame(&s, &PanelSession::settingsOpenChanged);
    s.toggleDataView();
    f.advance(5000);
    QVERIFY(!s.settingsOpen());
    QCOMPARE(frame.size(), 0);
}

void SessionViewsTest::sendText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("txd");
    QTest::addColumn<QString>("status");
    QTest::addColumn<qint64>("pressure");
    QTest::newRow("empty: a lone CR") << "" << QByteArray("\r") << QByteArray() << " CR "
                                      << "" << qint64(0);
    QTest::newRow("CR0 decoded like STATUS")
        << "CR0" << QByteArray("CR0\r") << QByteArray("80\r") << " C R 0 CR "
        << " Stand by" << qint64(0);
    QTest::newRow("lower case not decoded")
        << "cr0" << QByteArray("cr0\r") << QByteArray("80\r") << " c r 0 CR "
        << "" << qint64(0);
    QTest::newRow("leading blank not decoded")
        << " CR0" << QByteArray(" CR0\r") << QByteArray("80\r") << "   C R 0 CR "
        << "" << qint64(0);
    QTest::newRow("trailing blank not decoded")
        << "CR0 " << QByteArray("CR0 \r") << QByteArray("80\r") << " C R 0   CR "
        << "" << qint64(0);
    QTest::newRow("pressure") << "CR PRESSURE" << QByteArray("CR PRESSURE\r") << QByteArray("512\r")
                              << " C R   P R E S S U R E CR "
                              << "650 hPa" << qint64(650);
    QTest::newRow("lamps, typed only")
        << "CR7" << QByteArray("CR7\r") << QByteArray("00\r") << " C R 7 CR "
        << " All OFF : 2 Lamp mode" << qint64(0);
    QTest::newRow("non-ASCII: Latin-1, else ?")
        << QString::fromUtf8("C€0é") << QByteArray("C?0\xE9\r") << QByteArray() << " C ? 0 ? CR "
        << "" << qint64(0);
}

void SessionViewsTest::sendText()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);
    QFETCH(QString, txd);
    QFETCH(QString, status);
    QFETCH(qint64, pressure);
    SessionFixture f;
    PanelSession &s = *f.session;
    s.sendText(typed);
    QCOMPARE(f.line.written(), bytes);
    QCOMPARE(f.txd(), txd);
    QCOMPARE(s.lastCommand(), typed + '\r');
    QCOMPARE(s.replyWindow().interval(), 2000);
    QCOMPARE(s.displayClear().interval(), 2500);
    if (!reply.isEmpty())
        f.line.receive(reply);
    QCOMPARE(f.statusLine(), status);
    QCOMPARE(s.pressureValue(), pressure);
    f.advance(1999);
    QCOMPARE(s.awaitingReply(), reply.isEmpty());
    QVERIFY(s.replyWindow().isEnabled());
    f.advance(1);
    QVERIFY(!s.replyWindow().isEnabled());
    // The reply stays on the RXD line; without one, the marker.
    QCOMPARE(f.rxd(), reply.isEmpty() ? QStringLiteral(" X X X X")
                                      : renderTraffic(QString::fromLatin1(reply)));
    f.advance(499);
    QCOMPARE(f.txd(), txd);
    f.advance(1);
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
}

void SessionViewsTest::longTextGoesOutWhole()
{
    SessionFixture f;
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QChar(u'A' + i % 26);
    f.session->sendText(text);
    QCOMPARE(f.line.writes.size(), 1);
    QCOMPARE(f.line.writes[0].bytes, text.toLatin1() + '\r');
}

QTEST_GUILESS_MAIN(SessionViewsTest)
#include "tst_session_views.moc"

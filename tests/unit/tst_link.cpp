// The serial link of the window on the manual clock: start-up, port and speed choices, the
// settings frame, sending, receiving, the reply window and the display clear.
#include "form_fixture.h"
#include "link/traffic.h"

#include <QFrame>
#include <QRadioButton>
#include <QtTest>

class LinkTest : public QObject
{
    Q_OBJECT
private slots:
    void startUp();
    void startUpWithPortMissing();
    void portChange_data();
    void portChange();
    void portChangeRecoversClosedPort();
    void speedChange_data();
    void speedChange();
    void settingsFrameClosesAfterFiveSeconds();
    void monitorStateTable();
    void replyInPieces();
    void rxdLineAfterOtherWrites_data();
    void rxdLineAfterOtherWrites();
    void lateReplyShownThenDroppedByNextWindow();
    void secondSendKeepsBuffer();
    void sendOnClosedPort();
    void portLostAtRunTime();
    void receiveBufferIsCapped();
    void otherNotificationsIgnored();
    void endClosesPortFirst();
};

void LinkTest::startUp()
{
    FormFixture f;
    Form1 &w = *f.form;
    QCOMPARE(f.port.calls, QStringList({"CommPort=1", "Settings=19200,N,8,1", "PortOpen=1",
                                        // marking COM1 runs the port change once
                                        "PortOpen=0", "CommPort=1", "PortOpen=1"}));
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.settings(), "19200,N,8,1");
    QCOMPARE(w.PortSettings, "19200,N,8,1");
    QVERIFY(w.Option1->isChecked());
    QVERIFY(w.Option9->isChecked());
    QVERIFY(!w.Option2->isChecked() && !w.Option10->isChecked());
    QVERIFY(w.Frame8->isHidden());
    QCOMPARE(w.Height(), 5350);
    QCOMPARE(w.height(), (5350 - 370) / 15);
    QCOMPARE(w.width(), 9495 / 15);
    for (auto *t : {w.Timer1.get(), w.Timer2.get(), w.Timer3.get(), w.Timer4.get()})
        QVERIFY(!t->isEnabled());
    QCOMPARE(w.Timer1->interval(), 200);
    QCOMPARE(w.Timer2->interval(), 500);
    QCOMPARE(w.Timer3->interval(), 5000);
    QCOMPARE(w.Timer4->interval(), 1000);
    QCOMPARE(w.HeldKey, 0);
    QCOMPARE(w.AwaitingReply, 0);
    QVERIFY(w.ReceiveBuffer.isEmpty() && w.LastCommand.isEmpty());
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
    QVERIFY(f.warnings.isEmpty());
    QVERIFY(f.port.writes.isEmpty());
    QCOMPARE(w.windowTitle(), "ODRA   MP-Q85 & Q75   CONTROL   Ver.1.40");

    // Placed as the full window would be centred: the top uses the designed height (9100).
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w.pos().x(), int(std::lround((screen.width() * 15 - (9495 + 120)) / 2.0 / 15)));
    QCOMPARE(w.pos().y(), int(std::lround((screen.height() * 15 - 9100) / 2.0 / 15)));
}

void LinkTest::startUpWithPortMissing()
{
    FormFixture f([](FakeSerialPort &p) { p.missingPorts = {1}; });
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY(f.warnings[0].contains("COM1"));
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.port.commPort(), 1);
    QVERIFY(f.form->Option1->isChecked());
    QCOMPARE(f.form->Height(), 5350);

    // The operator plugs the adapter in and chooses COM1 again.
    f.port.missingPorts.clear();
    f.port.clearLog();
    f.form->show();
    f.form->Command33_Click();
    f.click("Option1");
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.commPort(), 1);
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY(f.form->Frame8->isHidden());
}

void LinkTest::portChange_data()
{
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("openAfter");
    QTest::addColumn<int>("portAfter");
    QTest::newRow("success") << "" << false << true << 2;
    QTest::newRow("set port fails") << "setport" << true << false << 1;
    QTest::newRow("open fails") << "open" << true << false << 1;
    QTest::newRow("close fails") << "close" << true << true << 1;
}

void LinkTest::portChange()
{
    QFETCH(QString, failAt);
    QFETCH(bool, warned);
    QFETCH(bool, openAfter);
    QFETCH(int, portAfter);

    FormFixture f;
    f.form->show();
    f.click("Command33");
    QVERIFY(f.form->Frame8->isVisible());
    f.port.failNextSetPort = failAt == "setport";
    f.port.failNextOpen = failAt == "open";
    f.port.failNextClose = failAt == "close";
    f.click("Option2");

    QCOMPARE(f.warnings.size(), warned ? 1 : 0);
    QCOMPARE(f.port.portOpen(), openAfter);
    QCOMPARE(f.port.commPort(), portAfter);
    QVERIFY(f.form->Option2->isChecked()); // stays as the operator left it
    QCOMPARE(f.form->Frame8->isVisible(), warned);
    if (warned) {
        // The frame stays until its five seconds run out.
        f.advance(5000);
        QVERIFY(f.form->Frame8->isHidden());
    }
}

void LinkTest::portChangeRecoversClosedPort()
{
    FormFixture f([](FakeSerialPort &p) { p.missingPorts = {2}; });
    f.form->show();
    f.click("Command33");
    f.click("Option2");
    QCOMPARE(f.warnings.size(), 1);
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.port.commPort(), 1);

    f.click("Option1"); // back to COM1: opened although the port was closed
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.commPort(), 1);
    QVERIFY(f.form->Frame8->isHidden());
    QCOMPARE(f.warnings.size(), 1);
}

void LinkTest::speedChange_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("settings");
    QTest::newRow("9600 on open port") << true << "Option10" << "9600,N,8,1";
    QTest::newRow("19200 on open port") << true << "Option9" << "19200,N,8,1";
    QTest::newRow("9600 on closed port") << false << "Option10" << "9600,N,8,1";
}

void LinkTest::speedChange()
{
    QFETCH(bool, portOpen);
    QFETCH(QString, option);
    QFETCH(QString, settings);
    FormFixture f([&](FakeSerialPort &p) {
        if (!portOpen)
            p.missingPorts = {1};
    });
    f.form->show();
    f.click("Command33");
    f.port.clearLog();
    f.click(option);
    QCOMPARE(f.port.calls, QStringList({"Settings=" + settings})); // never closed or opened
    QCOMPARE(f.port.settings(), settings);
    QCOMPARE(f.form->PortSettings, settings);
    QCOMPARE(f.port.portOpen(), portOpen);
    QVERIFY(f.form->Frame8->isHidden());
    QVERIFY(f.form->Option1->isChecked()); // the port group is untouched
}

void LinkTest::settingsFrameClosesAfterFiveSeconds()
{
    FormFixture f;
    f.form->show();
    f.advance(1234);
    f.click("Command33");
    QVERIFY(f.form->Frame8->isVisible());
    QVERIFY(f.form->Timer3->isEnabled());
    f.advance(4999);
    QVERIFY(f.form->Frame8->isVisible());
    f.advance(1);
    QVERIFY(f.form->Frame8->isHidden());
    QVERIFY(!f.form->Timer3->isEnabled());
}

void LinkTest::monitorStateTable()
{
    FormFixture f;
    Form1 &w = *f.form;

    // Transmit: TXD shows the command, both timers run, a reply is awaited.
    f.send("C00\r");
    QCOMPARE(f.port.written(), QByteArray("C00\r"));
    QCOMPARE(f.txd(), " C 0 0 CR ");
    QCOMPARE(f.rxd(), "");
    QCOMPARE(w.AwaitingReply, 1);
    QVERIFY(w.Timer2->isEnabled() && w.Timer4->isEnabled());

    // Receive: the buffer grows, the RXD line shows all of it, the timers are untouched.
    f.advance(100);
    f.port.receive("\x06");
    QCOMPARE(w.AwaitingReply, 0);
    QCOMPARE(w.ReceiveBuffer, "\x06");
    QCOMPARE(f.rxd(), " ACK ");
    QVERIFY(w.Timer2->isEnabled() && w.Timer4->isEnabled());

    // Reply window ends: the buffer empties, the RXD line keeps the reply (no marker).
    f.advance(400);
    QVERIFY(!w.Timer2->isEnabled());
    QVERIFY(w.ReceiveBuffer.isEmpty());
    QCOMPARE(f.rxd(), " ACK ");
    QCOMPARE(f.txd(), " C 0 0 CR ");

    // Display clear: all three lines blank, the timer stops.
    f.advance(499);
    QCOMPARE(f.txd(), " C 0 0 CR ");
    f.advance(1);
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
    QVERIFY(!w.Timer4->isEnabled());

    // No reply at all: the marker at the end of the window, then the display clear.
    f.send("C01\r");
    f.advance(500);
    QCOMPARE(f.rxd(), " X X X X");
    QCOMPARE(w.AwaitingReply, 0);
    f.advance(500);
    QVERIFY(f.rxd().isEmpty());
}

void LinkTest::replyInPieces()
{
    FormFixture f;
    f.send("C00\r");
    f.port.receive("0");
    QCOMPARE(f.rxd(), " 0 ");
    f.port.receive("0\r");
    QCOMPARE(f.rxd(), " 0 0 CR ");
    QCOMPARE(f.form->ReceiveBuffer, "00\r");

    FormFixture g;
    g.send("C00\r");
    g.port.receive("00\r");
    QCOMPARE(g.rxd(), " 0 0 CR ");
}

void LinkTest::rxdLineAfterOtherWrites_data()
{
    QTest::addColumn<QString>("between"); // what happens between the first piece and the rest
    QTest::addColumn<QByteArray>("rest");
    QTest::newRow("nothing") << "" << QByteArray("0\r");
    QTest::newRow("display cleared mid-reply") << "clear" << QByteArray("0\r");
    QTest::newRow("someone else's RXD line") << "other" << QByteArray("0\r");
    QTest::newRow("long line in many pieces") << "" << QByteArray(900, 'A');
}

// The RXD line is built up piece by piece on the label; whatever else wrote the label in
// between, the next piece shows the whole buffer again.
void LinkTest::rxdLineAfterOtherWrites()
{
    QFETCH(QString, between);
    QFETCH(QByteArray, rest);
    FormFixture f;
    f.send("C00\r");
    f.port.receive("8");
    if (between == "clear")
        f.form->Timer4_Timer();
    else if (between == "other")
        f.form->Hyouji(QStringLiteral("xyz"), 2);
    for (qsizetype i = 0; i < rest.size(); i += 100)
        f.port.receive(rest.mid(i, 100));
    QCOMPARE(f.rxd(), renderTraffic(QString::fromLatin1("8" + rest)));
}

void LinkTest::lateReplyShownThenDroppedByNextWindow()
{
    FormFixture f;
    f.send("CR0\r");
    f.advance(500);
    QCOMPARE(f.rxd(), " X X X X");
    // The projector answers late: shown and decoded against the query it answers.
    f.port.receive("80\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
    QCOMPARE(f.statusLine(), " Stand by");
    QCOMPARE(f.form->ReceiveBuffer, "80\r");
    // The next query opens a new window without the stale characters in front of its reply.
    f.send("CR0\r");
    QVERIFY(f.form->ReceiveBuffer.isEmpty());
    f.port.receive("00\r");
    QCOMPARE(f.rxd(), " 0 0 CR ");
    QCOMPARE(f.statusLine(), " Power ON");
}

void LinkTest::secondSendKeepsBuffer()
{
    FormFixture f;
    f.send("CR0\r");
    f.port.receive("8");
    f.advance(100);
    f.send("CR0\r"); // the first window is still open
    QCOMPARE(f.form->ReceiveBuffer, "8");
    QCOMPARE(f.form->AwaitingReply, 1);
    f.port.receive("0\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
}

void LinkTest::sendOnClosedPort()
{
    FormFixture f([](FakeSerialPort &p) { p.missingPorts = {1}; });
    f.send("C00\r");
    QVERIFY(f.port.writes.isEmpty());
    QCOMPARE(f.txd(), " C 0 0 CR ");
    QCOMPARE(f.statusLine(), " COM1 not open");
    QCOMPARE(f.warnings.size(), 1); // only the one from start-up
    f.advance(500);
    QCOMPARE(f.rxd(), " X X X X");
    f.advance(500);
    QVERIFY(f.statusLine().isEmpty());
}

void LinkTest::portLostAtRunTime()
{
    FormFixture f;
    f.send("C00\r");
    f.port.loseLine("COM1 stopped working");
    QCOMPARE(f.warnings, QStringList({"COM1 stopped working"}));
    f.port.clearLog();
    f.send("C01\r");
    QVERIFY(f.port.writes.isEmpty());
    QCOMPARE(f.statusLine(), " COM1 not open");
    f.advance(10000);
    QCOMPARE(f.warnings.size(), 1);
}

void LinkTest::receiveBufferIsCapped()
{
    FormFixture f;
    f.send("C00\r");
    const QByteArray flood(40000, 'A');
    f.port.receive(flood.left(30000));
    f.port.receive(flood.mid(30000));
    QCOMPARE(f.form->ReceiveBuffer.size(), Form1::kReceiveBufferLimit);
    QCOMPARE(f.rxd(), renderTraffic(QString(Form1::kReceiveBufferLimit, QLatin1Char('A'))));
    f.port.receive("B"); // still full: dropped
    QVERIFY(!f.form->ReceiveBuffer.contains('B'));
    f.advance(500); // the window ends and empties the buffer
    f.send("C00\r");
    f.port.receive("B");
    QCOMPARE(f.rxd(), " B ");
}

void LinkTest::otherNotificationsIgnored()
{
    FormFixture f;
    f.send("C00\r");
    f.port.notify(1001); // say, a break on the line
    QCOMPARE(f.form->AwaitingReply, 1);
    QVERIFY(f.rxd().isEmpty());
}

void LinkTest::endClosesPortFirst()
{
    FormFixture f;
    f.port.clearLog();
    f.form->show();
    f.click("Command16");
    QCOMPARE(f.port.calls, QStringList({"PortOpen=0"}));
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.ended, 1);
    QVERIFY(!f.form->isVisible());
}

QTEST_MAIN(LinkTest)
#include "tst_link.moc"

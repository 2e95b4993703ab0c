// The one-shot buttons: every button clicked for real puts exactly its bytes on the line, with
// the reply timeout and display-clear delay it owns, or those left by the button before it.
#include "form_fixture.h"
#include "panel/commands.h"

#include <QPushButton>
#include <QtTest>

namespace {

struct Expected
{
    const char *control;
    const char *caption;
    const char *code;
    int timeout; // 0: none of its own
    int clear;
};

// Typed from the design, independently of the panel's own table, so that a slip in either
// shows up here.
const Expected kExpected[] = {
    {"Command17", "ON", "C00", 0, 0},       {"Command18", "OFF", "C01", 0, 0},
    {"Command27", "1", "C05", 0, 0},        {"Command28", "2", "C06", 0, 0},
    {"Command29", "3", "C07", 0, 0},        {"Command43", "LAN", "C08", 0, 0},
    {"Command19", "ON", "C0B", 0, 0},       {"Command20", "OFF", "C0C", 0, 0},
    {"Command21", "ON", "C0D", 0, 0},       {"Command22", "OFF", "C0E", 0, 0},
    {"Command25", "ON", "C43", 0, 0},       {"Command26", "OFF", "C44", 0, 0},
    {"Command31", "Regular", "C0F", 0, 0},  {"Command32", "Wide", "C10", 0, 0},
    {"Command23", "ON", "C1C", 0, 0},       {"Command24", "OFF", "C1D", 0, 0},
    {"Command13", "A-IMAGE", "C89", 0, 0},  {"Command30", "IMAGE", "C27", 0, 0},
    {"Command14", "P-TIMER", "C8A", 0, 0},  {"Command3", "DISPLAY CLEAR", "C1E", 0, 0},
    {"Command4", "STAND", "CF IMAGE STAND", 2000, 2500},
    {"Command10", "REAL", "CF IMAGE REAL", 2000, 2500},
    {"Command11", "CINEMA", "CF IMAGE CINEMA", 2000, 2500},
    {"Command39", "IMAGE1", "CF IMAGE CUSTOM1", 2000, 2500},
    {"Command40", "IMAGE2", "CF IMAGE CUSTOM2", 2000, 2500},
    {"Command41", "IMAGE3", "CF IMAGE CUSTOM3", 2000, 2500},
    {"Command42", "IMAGE4", "CF IMAGE CUSTOM4", 2000, 2500},
    {"Command56", "NONE", "CF KEYDIS NONE", 0, 0},
    {"Command57", "R/C", "CF KEYDIS RC", 0, 0},
    {"Command58", "KEY", "CF KEYDIS KEY", 0, 0},
    {"Command44", "STATUS", "CR0", 0, 0},   {"Command45", "MODE", "CR1", 0, 0},
    {"Command46", "L-TIME", "CR3", 0, 0},   {"Command47", "SETTING", "CR4", 0, 0},
    {"Command54", "TEMP", "CR6", 0, 0},
    {"Command52", "P-FAIL", "CR INFPFAIL", 2000, 2500},
    {"Command64", "RGB", "C50", 5000, 5500},    {"Command65", "SCART", "C51", 5000, 5500},
    {"Command38", "DVI", "C52", 5000, 5500},    {"Command53", "HDCP", "C53", 5000, 5500},
    {"Command76", "Monitor OUT", "C54", 5000, 5500},
    {"Command72", "RGB", "C25", 5000, 5500},    {"Command12", "VIDEO", "C23", 5000, 5500},
    {"Command80", "Y,Pb/Cb,Pr/Cr", "C24", 5000, 5500},
    {"Command81", "VIDEO", "C33", 5000, 5500},  {"Command84", "S-VIDEO", "C34", 5000, 5500},
    {"Command82", "Y,Pb/Cb,Pr/Cr", "C35", 5000, 5500},
    {"Command97", "MAX", "CF FANSPEED MAX", 0, 0},
    {"Command98", "NOR", "CF FANSPEED NOR", 0, 0},
};

struct Tall : FormFixture
{
    Tall()
    {
        form->setHeight(9100); // every button in view
        form->show();
    }
};

} // namespace

class CommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void tableCoversEveryButton();
    void click_data();
    void click();
    void intervalsStayUntilChanged_data();
    void intervalsStayUntilChanged();
    void menuOnAndAImagePrimeTheArrows_data();
    void menuOnAndAImagePrimeTheArrows();
    void quickClicksSendTwice();
    void statusQueryEndToEnd();
    void pFailReplyNotDecoded();
};

void CommandsTest::tableCoversEveryButton()
{
    QStringList ours, expected;
    for (const panel::OneShot &row : panel::oneShots())
        ours << QString::fromLatin1(row.control.data(), qsizetype(row.control.size()));
    for (const Expected &e : kExpected)
        expected << QString::fromLatin1(e.control);
    ours.sort();
    expected.sort();
    QCOMPARE(ours.size(), 49);
    QCOMPARE(ours, expected);
}

void CommandsTest::click_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("clear");
    for (const Expected &e : kExpected)
        QTest::newRow(e.control) << e.control << QString::fromUtf8(e.caption)
                                 << QByteArray(e.code) + '\r' << e.timeout << e.clear;
}

void CommandsTest::click()
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QFETCH(QByteArray, bytes);
    QFETCH(int, timeout);
    QFETCH(int, clear);

    Tall f;
    f.advance(10);
    auto *button = f.widget<QPushButton>(control);
    QCOMPARE(button->text(), caption);
    f.click(control);

    QCOMPARE(f.port.writes.size(), 1);
    QCOMPARE(f.port.writes[0].bytes, bytes);
    QCOMPARE(f.port.writes[0].atMs, 10);
    QCOMPARE(f.form->LastCommand, QString::fromLatin1(bytes));
    const int t2 = timeout ? timeout : 500, t4 = clear ? clear : 1000;
    QCOMPARE(f.form->Timer2->interval(), t2);
    QCOMPARE(f.form->Timer4->interval(), t4);
    // The reply window and the display clear run with those intervals, from the click.
    f.advance(t2 - 1);
    QCOMPARE(f.rxd(), QString());
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");
    f.advance(t4 - t2);
    QCOMPARE(f.txd(), QString());
    QVERIFY(!f.form->Timer1->isEnabled()); // no one-shot button starts the repeat
}

void CommandsTest::intervalsStayUntilChanged_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("clear");
    QTest::newRow("after HDCP") << "Command53" << 5000 << 5500;
    QTest::newRow("after an image mode") << "Command10" << 2000 << 2500;
    QTest::newRow("after P-FAIL") << "Command52" << 2000 << 2500;
    QTest::newRow("after MENU ON") << "Command23" << 500 << 1000;
}

void CommandsTest::intervalsStayUntilChanged()
{
    QFETCH(QString, first);
    QFETCH(int, timeout);
    QFETCH(int, clear);
    Tall f;
    f.click(first);
    f.advance(10000);
    f.click("Command17"); // POWER ON has no intervals of its own
    f.click("Command44"); // nor has STATUS
    QCOMPARE(f.form->Timer2->interval(), timeout);
    QCOMPARE(f.form->Timer4->interval(), clear);
    f.advance(timeout - 1);
    QVERIFY(f.rxd().isEmpty());
    f.advance(1);
    QCOMPARE(f.rxd(), " X X X X");

    // A hold button's release puts the normal values back.
    QTest::mousePress(f.widget("Command1"), Qt::LeftButton);
    QTest::mouseRelease(f.widget("Command1"), Qt::LeftButton);
    f.click("Command44");
    QCOMPARE(f.form->Timer2->interval(), 500);
    QCOMPARE(f.form->Timer4->interval(), 1000);
}

void CommandsTest::menuOnAndAImagePrimeTheArrows_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("MENU ON") << "Command23";
    QTest::newRow("A-IMAGE") << "Command13";
}

void CommandsTest::menuOnAndAImagePrimeTheArrows()
{
    QFETCH(QString, control);
    Tall f;
    // A zoom press and release leaves Timer1 at 150 ms.
    QTest::mousePress(f.widget("Command15"), Qt::LeftButton);
    QTest::mouseRelease(f.widget("Command15"), Qt::LeftButton);
    QCOMPARE(f.form->Timer1->interval(), 150);
    QCOMPARE(f.form->ArrowSpeed, 0);

    f.click(control);
    QCOMPARE(f.form->Timer1->interval(), 200);
    QCOMPARE(f.form->ArrowSpeed, 1);
    QVERIFY(!f.form->Timer1->isEnabled());

    // MENU OFF changes neither.
    QTest::mousePress(f.widget("Command48"), Qt::LeftButton); // D.Zoom: 5 ms and speed 3
    QTest::mouseRelease(f.widget("Command48"), Qt::LeftButton);
    f.click("Command24");
    QCOMPARE(f.form->Timer1->interval(), 5);
    QCOMPARE(f.form->ArrowSpeed, 3);
}

void CommandsTest::quickClicksSendTwice()
{
    Tall f;
    f.click("Command21");
    f.click("Command21");
    QCOMPARE(f.port.written(), QByteArray("C0D\rC0D\r"));
}

void CommandsTest::statusQueryEndToEnd()
{
    Tall f;
    f.click("Command44");
    QCOMPARE(f.txd(), " C R 0 CR ");
    f.advance(40);
    f.port.receive("80\r");
    QCOMPARE(f.rxd(), " 8 0 CR ");
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(459); // the window closes at 500 without a marker: a reply came
    QCOMPARE(f.rxd(), " 8 0 CR ");
    f.advance(1);
    QVERIFY(f.form->ReceiveBuffer.isEmpty());
    QCOMPARE(f.statusLine(), " Stand by");
    f.advance(500);
    QVERIFY(f.txd().isEmpty() && f.rxd().isEmpty() && f.statusLine().isEmpty());
}

void CommandsTest::pFailReplyNotDecoded()
{
    Tall f;
    f.click("Command44");
    f.port.receive("80\r");
    f.click("Command52");
    f.port.receive("00\r");
    QCOMPARE(f.rxd(), " 8 0 CR 0 0 CR "); // same window: the buffer goes on
    QCOMPARE(f.statusLine(), " Stand by");  // untouched by the P-FAIL reply
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"

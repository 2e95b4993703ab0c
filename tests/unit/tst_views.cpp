// The hidden views and the command box, on the manual clock with real key and mouse events.
#include "form_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kShow = QStringLiteral("データを表示する");
const QString kHide = QStringLiteral("データを表示しない");

struct KeyCounter : QObject
{
    int presses = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_J)
            ++presses;
        return false;
    }
};

} // namespace

class ViewsTest : public QObject
{
    Q_OBJECT
private slots:
    void stateTable_data();
    void stateTable();
    void keyAlsoReachesFocusedControl();
    void autoRepeatSetsSameValues();
    void dataViewButtonRestartsSettingsFrameTimer();
    void send_data();
    void send();
    void sendTwiceKeepsText();
    void longCommandGoesOutWhole();
    void clsClearsOnlyTheBox();
    void enterInTheBoxSendsNothing();
};

void ViewsTest::stateTable_data()
{
    // One session of events, each followed by the window it must leave.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("expected"); // "height,ExtendedView,caption,visible"
    auto row = [](int h, int ev, const QString &caption, bool visible) {
        return QStringLiteral("%1,%2,%3,%4").arg(h).arg(ev).arg(caption).arg(visible);
    };
    const QString opened = row(5350, 0, kShow, false);
    QTest::newRow("nothing opens it but Ctrl+J")
        << QStringList({"dbl", "J", "shift+ctrl+J", "alt+ctrl+J", "ctrl+K"})
        << QStringList({opened, opened, opened, opened, opened});
    QTest::newRow("extended, full, back")
        << QStringList({"ctrl+J", "dbl", "ctrl+J", "dbl", "c34", "dbl", "c34"})
        << QStringList({row(7200, 1, "CLOSE", true), row(9100, 1, "CLOSE", true),
                        row(7200, 1, "CLOSE", true), row(9100, 1, "CLOSE", true),
                        row(5350, 0, kShow, true), row(5350, 0, kShow, true),
                        row(6645, 0, kHide, true)});
    QTest::newRow("three presses from extended")
        << QStringList({"ctrl+J", "c34", "c34", "c34"})
        << QStringList({row(7200, 1, "CLOSE", true), row(5350, 0, kShow, true),
                        row(6645, 0, kHide, true), row(5350, 0, kShow, true)});
    QTest::newRow("Ctrl+J from the data view")
        << QStringList({"ctrl+J", "c34", "c34", "dbl", "ctrl+J", "dbl", "c34"})
        << QStringList({row(7200, 1, "CLOSE", true), row(5350, 0, kShow, true),
                        row(6645, 0, kHide, true), row(6645, 0, kHide, true),
                        row(7200, 1, "CLOSE", true), row(9100, 1, "CLOSE", true),
                        row(5350, 0, kShow, true)});
}

void ViewsTest::stateTable()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, expected);
    FormFixture f;
    f.form->show();
    auto *c34 = f.widget<QPushButton>("Command34");
    for (int i = 0; i < events.size(); ++i) {
        const QString &e = events[i];
        if (e == "dbl") {
            QTest::mouseDClick(f.form->Image1, Qt::LeftButton);
        } else if (e == "c34") {
            QTest::mouseClick(c34, Qt::LeftButton);
        } else {
            Qt::KeyboardModifiers m;
            if (e.contains("shift+"))
                m |= Qt::ShiftModifier;
            if (e.contains("ctrl+"))
                m |= Qt::ControlModifier;
            if (e.contains("alt+"))
                m |= Qt::AltModifier;
            const Qt::Key key = e.endsWith('K') ? Qt::Key_K : Qt::Key_J;
            QTest::keyClick(f.form->Command16, key, m); // whichever control has the focus
        }
        const QString got = QStringLiteral("%1,%2,%3,%4")
                                .arg(f.form->Height())
                                .arg(f.form->ExtendedView)
                                .arg(c34->text())
                                .arg(!c34->isHidden());
        QVERIFY2(got == expected[i], qPrintable(QStringLiteral("after %1 (event %2): %3, not %4")
                                                    .arg(e)
                                                    .arg(i + 1)
                                                    .arg(got, expected[i])));
        // Outer height = client height + 370 twips; the width never changes.
        QCOMPARE(f.form->height(), (f.form->Height() - 370 + 7) / 15);
        QCOMPARE(f.form->width(), 9495 / 15);
    }
}

void ViewsTest::keyAlsoReachesFocusedControl()
{
    FormFixture f;
    f.form->show();
    KeyCounter counter;
    f.form->Text1->installEventFilter(&counter);
    QTest::keyClick(f.form->Text1, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(f.form->Height(), 7200);
    QCOMPARE(counter.presses, 1);
    QTest::keyClicks(f.form->Text1, "j");
    QCOMPARE(f.form->Text1->text(), "j"); // typing goes on as usual
}

void ViewsTest::autoRepeatSetsSameValues()
{
    FormFixture f;
    f.form->show();
    for (bool repeat : {false, true, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier, QString(), repeat);
        QApplication::sendEvent(f.form->Command33, &press);
        QCOMPARE(f.form->Height(), 7200);
        QCOMPARE(f.form->ExtendedView, 1);
        QCOMPARE(f.form->Command34->text(), "CLOSE");
    }
}

void ViewsTest::dataViewButtonRestartsSettingsFrameTimer()
{
    FormFixture f;
    f.form->show();
    f.click("Command33");
    f.advance(3000);
    f.click("Command34");
    f.advance(4999); // 7999 after COM: the frame would have closed at 5000
    QVERIFY(f.form->Frame8->isVisible());
    f.advance(1);
    QVERIFY(f.form->Frame8->isHidden());
}

void ViewsTest::send_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("txd");
    QTest::addColumn<QString>("status");
    QTest::newRow("empty box: a lone CR") << "" << QByteArray("\r") << QByteArray() << " CR "
                                          << "";
    QTest::newRow("CR0 decoded like STATUS")
        << "CR0" << QByteArray("CR0\r") << QByteArray("80\r") << " C R 0 CR " << " Stand by";
    QTest::newRow("lower case not decoded")
        << "cr0" << QByteArray("cr0\r") << QByteArray("80\r") << " c r 0 CR " << "";
    QTest::newRow("leading blank not decoded")
        << " CR0" << QByteArray(" CR0\r") << QByteArray("80\r") << "   C R 0 CR " << "";
    QTest::newRow("trailing blank not decoded")
        << "CR0 " << QByteArray("CR0 \r") << QByteArray("80\r") << " C R 0   CR " << "";
    QTest::newRow("pressure") << "CR PRESSURE" << QByteArray("CR PRESSURE\r")
                              << QByteArray("512\r") << " C R   P R E S S U R E CR "
                              << "650 hPa";
    QTest::newRow("lamps, typed only") << "CR7" << QByteArray("CR7\r") << QByteArray("00\r")
                                       << " C R 7 CR " << " All OFF : 2 Lamp mode";
    QTest::newRow("non-ASCII: Latin-1, else ?")
        << QString::fromUtf8("C€0é") << QByteArray("C?0\xE9\r") << QByteArray() << " C ? 0 ? CR "
        << "";
}

void ViewsTest::send()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reply);
    QFETCH(QString, txd);
    QFETCH(QString, status);
    FormFixture f;
    f.form->setHeight(9100);
    f.form->show();
    f.form->Text1->setFocus();
    bool ascii = true;
    for (QChar c : typed)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(f.form->Text1, typed);
    else
        f.form->Text1->insert(typed); // as an input method delivers it
    QCOMPARE(f.form->Text1->text(), typed);
    f.click("Command95");
    QCOMPARE(f.port.written(), bytes);
    QCOMPARE(f.txd(), txd);
    QCOMPARE(f.form->Timer2->interval(), 2000);
    QCOMPARE(f.form->Timer4->interval(), 2500);
    if (!reply.isEmpty())
        f.port.receive(reply);
    QCOMPARE(f.statusLine(), status);
    f.advance(1999);
    QCOMPARE(f.form->AwaitingReply, reply.isEmpty() ? 1 : 0);
    f.advance(1);
    QVERIFY(!f.form->Timer2->isEnabled());
    QCOMPARE(f.form->Text1->text(), typed); // the box keeps its text
}

void ViewsTest::sendTwiceKeepsText()
{
    FormFixture f;
    f.form->Text1->setText("C09");
    f.click("Command95");
    f.click("Command95");
    QCOMPARE(f.port.written(), QByteArray("C09\rC09\r"));
    QCOMPARE(f.form->Text1->text(), "C09");
}

void ViewsTest::longCommandGoesOutWhole()
{
    FormFixture f;
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QChar(u'A' + i % 26);
    f.form->Text1->setText(text);
    QCOMPARE(f.form->Text1->text().size(), 100000); // the box has no length limit
    f.click("Command95");
    QCOMPARE(f.port.written(), text.toLatin1() + '\r');
}

void ViewsTest::clsClearsOnlyTheBox()
{
    FormFixture f;
    f.click("Command96"); // empty box: nothing happens
    QVERIFY(f.form->Text1->text().isEmpty());
    f.form->Text1->setText("CR0");
    f.click("Command95");
    f.port.receive("80\r");
    const QString txd = f.txd(), rxd = f.rxd(), status = f.statusLine();
    f.click("Command96");
    QVERIFY(f.form->Text1->text().isEmpty());
    QCOMPARE(f.port.writes.size(), 1);
    QCOMPARE(f.txd(), txd);
    QCOMPARE(f.rxd(), rxd);
    QCOMPARE(f.statusLine(), status);
    QCOMPARE(f.form->LastCommand, "CR0\r");
}

void ViewsTest::enterInTheBoxSendsNothing()
{
    FormFixture f;
    f.form->setHeight(9100);
    f.form->show();
    f.form->Text1->setText("C00");
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(f.form->Text1, k);
    QVERIFY(f.port.writes.isEmpty());
    QCOMPARE(f.form->Text1->text(), "C00");
}

QTEST_MAIN(ViewsTest)
#include "tst_views.moc"

// SPDX-License-Identifier: MIT
// The command catalogue's invariants: what odra, the window and the session rely on when they
// look a command up by name.
#include "protocol/catalogue.h"
#include "text.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT
private slots:
    void namesAreUniqueAndStable();
    void codesAreWhatTheProjectorReads();
    void timingsFitTheKind();
    void lookUp();
};

void CatalogueTest::namesAreUniqueAndStable()
{
    const QRegularExpression kebab(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    QSet<QString> names;
    for (const protocol::Command &c : protocol::commands()) {
        const QString name = latin1Text(c.name);
        QVERIFY2(kebab.match(name).hasMatch(), qPrintable(name));
        QVERIFY2(!names.contains(name), qPrintable(name));
        names << name;
        QVERIFY2(!c.what.empty(), qPrintable(name));
    }
    // 49 one-shot buttons and 17 hold buttons.
    QCOMPARE(names.size(), 66);
    // odra's manual and users' scripts name these; they must never change.
    for (const char *stable : {"power-on", "power-off", "status", "input-mode", "lamp-time",
                               "setting", "temp", "p-fail", "volume-up", "menu-left",
                               "terminal-1-rgb", "zoom-in"})
        QVERIFY2(names.contains(QString::fromLatin1(stable)), stable);
}

void CatalogueTest::codesAreWhatTheProjectorReads()
{
    // Printable ASCII, 3 to 16 characters of upper-case letters, digits and single spaces.
    const QRegularExpression code(QStringLiteral("^[A-Z0-9]+( [A-Z0-9]+)*$"));
    for (const protocol::Command &c : protocol::commands()) {
        const QString text = latin1Text(c.code);
        QVERIFY2(text.size() >= 3 && text.size() <= 16, qPrintable(text));
        QVERIFY2(code.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(protocol::commandString(c.code), text + QLatin1Char('\r'));
    }
}

void CatalogueTest::timingsFitTheKind()
{
    for (const protocol::Command &c : protocol::commands()) {
        const QString name = latin1Text(c.name);
        switch (c.kind) {
        case protocol::Kind::OneShot:
            QVERIFY2(c.repeatMs == 0, qPrintable(name));
            QVERIFY2((c.replyWindowMs == 0) == (c.displayClearMs == 0), qPrintable(name));
            QVERIFY2(c.effect != protocol::Effect::FastArrowsOnRelease, qPrintable(name));
            break;
        case protocol::Kind::Hold:
            QVERIFY2(c.repeatMs > 0 && c.replyWindowMs > 0 && c.displayClearMs > 0,
                     qPrintable(name));
            QVERIFY2(c.effect != protocol::Effect::PrimeArrows, qPrintable(name));
            break;
        case protocol::Kind::MenuArrow:
            QVERIFY2(c.repeatMs == 0 && c.replyWindowMs == 0 && c.effect == protocol::Effect::None,
                     qPrintable(name));
            break;
        }
        // The display clears after the reply window has ended.
        QVERIFY2(c.displayClearMs >= c.replyWindowMs, qPrintable(name));
    }
}

void CatalogueTest::lookUp()
{
    const protocol::Command *on = protocol::findCommand("power-on");
    QVERIFY(on);
    QCOMPARE(latin1Text(on->code), QStringLiteral("C00"));
    QVERIFY(!protocol::findCommand("Power-On"));
    QVERIFY(!protocol::findCommand(""));
    QVERIFY(!protocol::findCommand("power-on "));
}

QTEST_APPLESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"

// SPDX-License-Identifier: MIT
// odra's command line and its suggestions for a mistyped name: tables of arguments and
// expected results, no event loop and no line.
#include "cli/options.h"
#include "cli/output.h"
#include "cli/suggest.h"

#include <QtTest>

namespace {

ParsedArguments parse(const QString &line)
{
    return parseArguments(QStringList{QStringLiteral("odra")} +
                          line.split(u' ', Qt::SkipEmptyParts));
}

} // namespace

class OdraOptionsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void typedTextKeepsItsBlanks();
    void everyCommandIsReachable();
    void suggestions_data();
    void suggestions();
};

void OdraOptionsTest::initTestCase()
{
    // COM1 and COM2 as a test machine may not have them, and never the same device.
    qputenv("ODRA_COM1", "/dev/odra-test-com1");
    qputenv("ODRA_COM2", "/dev/odra-test-com2");
}

void OdraOptionsTest::accepted_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("command"); // the request's name
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("hold");
    QTest::addColumn<bool>("json");

    const QStringList com1{"COM1"};
    QTest::newRow("defaults") << "status"
                              << "status" << com1 << 19200 << 0 << 0 << false;
    QTest::newRow("options after the command") << "power-off --json --speed 9600"
                                               << "power-off" << com1 << 9600 << 0 << 0 << true;
    QTest::newRow("several ports, in order")
        << "--port /dev/ttyUSB1 --port COM2 --port /dev/ttyUSB0 lamp-time"
        << "lamp-time" << QStringList{"/dev/ttyUSB1", "COM2", "/dev/ttyUSB0"} << 19200 << 0 << 0
        << false;
    QTest::newRow("com names in any case")
        << "--port com1 --port Com2 temp"
        << "temp" << QStringList{"com1", "Com2"} << 19200 << 0 << 0 << false;
    QTest::newRow("timeout") << "--timeout 2500 status"
                             << "status" << com1 << 19200 << 2500 << 0 << false;
    QTest::newRow("hold") << "--hold 1000 volume-up"
                          << "volume-up" << com1 << 19200 << 0 << 1000 << false;
    QTest::newRow("hold of a menu arrow") << "--hold=300 menu-left"
                                          << "menu-left" << com1 << 19200 << 0 << 300 << false;
    QTest::newRow("hold of no time") << "--hold 0 zoom-in"
                                     << "zoom-in" << com1 << 19200 << 0 << 0 << false;
    QTest::newRow("send") << "send CR7"
                          << "send" << com1 << 19200 << 0 << 0 << false;
}

void OdraOptionsTest::accepted()
{
    QFETCH(QString, arguments);
    const ParsedArguments p = parse(arguments);
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QCOMPARE(p.options.action, OdraOptions::Action::Run);
    QTEST(p.options.request.name(), "command");
    QTEST(p.options.ports, "ports");
    QTEST(int(p.options.request.baud), "baud");
    QTEST(p.options.request.timeoutMs, "timeout");
    QTEST(p.options.request.holdMs, "hold");
    QTEST(p.options.json, "json");
}

void OdraOptionsTest::refused_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("says"); // a part of the message

    QTest::newRow("nothing") << ""
                             << "no command";
    QTest::newRow("unknown option") << "--colour status"
                                    << "colour";
    QTest::newRow("unknown command") << "powr-off"
                                     << "Did you mean power-off?";
    QTest::newRow("upper case name") << "STATUS"
                                     << "Did you mean status";
    QTest::newRow("text for a button") << "status now"
                                       << "takes no text";
    QTest::newRow("send without text") << "send"
                                       << "needs the text";
    QTest::newRow("send unquoted") << "send CR PRESSURE"
                                   << "quote it";
    QTest::newRow("speed") << "--speed 38400 status"
                           << "--speed";
    QTest::newRow("timeout zero") << "--timeout 0 status"
                                  << "--timeout";
    QTest::newRow("timeout too long") << "--timeout 99999999999 status"
                                      << "--timeout";
    QTest::newRow("hold of a one-shot") << "--hold 500 power-on"
                                        << "hold commands";
    QTest::newRow("hold of typed text") << "--hold 500 send C09"
                                        << "hold commands";
    QTest::newRow("same port twice") << "--port /dev/ttyUSB0 --port /dev/ttyUSB0 status"
                                     << "given twice";
    QTest::newRow("COM1 and its device") << "--port COM1 --port /dev/odra-test-com1 status"
                                         << "given twice";
}

void OdraOptionsTest::refused()
{
    QFETCH(QString, arguments);
    QFETCH(QString, says);
    const ParsedArguments p = parse(arguments);
    QVERIFY2(p.error.contains(says), qPrintable(p.error));
}

void OdraOptionsTest::typedTextKeepsItsBlanks()
{
    const ParsedArguments p = parseArguments({"odra", "send", " cr0 ", "--port", "/dev/x"});
    QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
    QVERIFY(p.options.request.isTyped());
    QCOMPARE(p.options.request.text, QStringLiteral(" cr0 "));
    // Text that looks like an option goes after "--".
    const ParsedArguments dashed = parseArguments({"odra", "send", "--", "-x"});
    QVERIFY2(dashed.error.isEmpty(), qPrintable(dashed.error));
    QCOMPARE(dashed.options.request.text, QStringLiteral("-x"));
    // An empty text sends a lone carriage return, as the empty command box does.
    QVERIFY(parseArguments({"odra", "send", ""}).error.isEmpty());
}

// Every name of the catalogue reaches its own command from the command line, none of them is
// taken by odra's own words, and odra list shows each, in the catalogue's order.
void OdraOptionsTest::everyCommandIsReachable()
{
    const QList<QByteArray> listed = commandList(false).split('\n');
    qsizetype i = 0;
    for (const protocol::Command &c : protocol::commands()) {
        QCOMPARE(listed.value(i++).split(' ').value(0),
                 QByteArray(c.name.data(), qsizetype(c.name.size())));
        const QString name = QString::fromLatin1(c.name.data(), qsizetype(c.name.size()));
        QVERIFY2(name != QLatin1String("send") && name != QLatin1String("list"), qPrintable(name));
        const ParsedArguments p = parse(name);
        QVERIFY2(p.error.isEmpty(), qPrintable(name + ": " + p.error));
        QCOMPARE(p.options.request.command, &c);
    }
}

void OdraOptionsTest::suggestions_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("first"); // the first suggestions, in order

    QTest::newRow("typo") << "powr-off" << QStringList{"power-off"};
    QTest::newRow("swapped letters") << "stauts" << QStringList{"status"};
    QTest::newRow("missing dash") << "poweroff" << QStringList{"power-off"};
    QTest::newRow("contained") << "volume" << QStringList{"volume-up", "volume-down"};
    QTest::newRow("abbreviated") << "vol-up" << QStringList{"volume-up"};
    QTest::newRow("spelt out") << "temperature" << QStringList{"temp"};
    QTest::newRow("lamp") << "lamp" << QStringList{"lamp-time"};
    QTest::newRow("own word") << "sned" << QStringList{"send"};
    QTest::newRow("nothing near") << "xyzzy-plugh" << QStringList{};
}

void OdraOptionsTest::suggestions()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, first);
    const QStringList near = nearestNames(typed);
    QVERIFY(near.size() <= 5);
    QCOMPARE(near.mid(0, first.size()), first);
    if (first.isEmpty())
        QVERIFY(near.isEmpty());
}

QTEST_APPLESS_MAIN(OdraOptionsTest)
#include "tst_odra_options.moc"

// SPDX-License-Identifier: MIT
// Which device a port is: the five sources in their order, the advice a warning gives for each,
// a choice kept across a restart, and the stable names of adapters.
#include "line/adapters.h"
#include "line/device_map.h"
#include "session/device_advice.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Source = DeviceMap::Source;

class DeviceMapTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void precedence_data();
    void precedence();
    void choiceSurvivesARestart();
    void stableNames();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString settingsFile() const { return dir_->filePath(QStringLiteral("odra-control.conf")); }
};

void DeviceMapTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void DeviceMapTest::cleanup()
{
    qunsetenv("ODRA_COM1");
    qunsetenv("ODRA_COM2");
}

void DeviceMapTest::precedence_data()
{
    // Each source for COM1, "" where it says nothing; `memory` whether the map remembers (the
    // panel) or not (odra). What the environment holds is set for COM1 only.
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("memory");
    QTest::addColumn<QString>("device");
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("advice"); // a part of what the warning advises

    const QString choose = QStringLiteral("\"Choose device…\"");
    QTest::newRow("nothing, odra") << "" << "" << QByteArray() << "" << false << "/dev/ttyS0"
                                   << Source::Default << "set ODRA_COM1";
    QTest::newRow("nothing, panel") << "" << "" << QByteArray() << "" << true << "/dev/ttyS0"
                                    << Source::Default << choose;
    QTest::newRow("remembered") << "" << "" << QByteArray() << "/dev/ttyUSB1" << true
                                << "/dev/ttyUSB1" << Source::Remembered << choose;
    QTest::newRow("remembered, but odra reads no memory")
        << "" << "" << QByteArray() << "/dev/ttyUSB1" << false << "/dev/ttyS0" << Source::Default
        << "set ODRA_COM1";
    QTest::newRow("environment over remembered")
        << "" << "" << QByteArray("/dev/ttyACM0") << "/dev/ttyUSB1" << true << "/dev/ttyACM0"
        << Source::Environment << "set ODRA_COM1";
    QTest::newRow("empty environment counts as unset")
        << "" << "" << QByteArray("") << "/dev/ttyUSB1" << true << "/dev/ttyUSB1"
        << Source::Remembered << choose;
    QTest::newRow("UTF-8 in the environment")
        << "" << "" << QByteArray("/dev/serial/by-id/\xc3\xa4") << "" << false
        << QString::fromUtf8("/dev/serial/by-id/ä") << Source::Environment << "set ODRA_COM1";
    QTest::newRow("command line over environment")
        << "" << "socket://box:4001" << QByteArray("/dev/ttyACM0") << "/dev/ttyUSB1" << true
        << "socket://box:4001" << Source::Given << "on the command line";
    QTest::newRow("choice in this run over everything")
        << "/dev/serial/by-id/usb-A" << "socket://box:4001" << QByteArray("/dev/ttyACM0")
        << "/dev/ttyUSB1" << true << "/dev/serial/by-id/usb-A" << Source::Chosen << choose;
}

void DeviceMapTest::precedence()
{
    QFETCH(QString, chosen);
    QFETCH(QString, given);
    QFETCH(QByteArray, environment);
    QFETCH(QString, remembered);
    QFETCH(bool, memory);

    QSettings settings(settingsFile(), QSettings::IniFormat);
    if (!remembered.isEmpty())
        settings.setValue(DeviceMap::settingsKey(1), remembered);
    if (!environment.isNull())
        qputenv("ODRA_COM1", environment);
    DeviceMap map;
    if (memory)
        map.rememberIn(&settings);
    if (!given.isEmpty())
        map.setGiven(1, given);
    if (!chosen.isEmpty())
        map.choose(1, chosen);

    QTEST(map.device(1), "device");
    QTEST(map.source(1), "source");
    QFETCH(QString, advice);
    QVERIFY2(howToChoose(map, 1).contains(advice), qPrintable(howToChoose(map, 1)));
    // COM2 has sources of its own: nothing said about COM1 reaches it.
    QCOMPARE(map.device(2), QStringLiteral("/dev/ttyS1"));
}

// The operator's choice is kept for the next start, and only the choice: a device given on the
// command line is not.
void DeviceMapTest::choiceSurvivesARestart()
{
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        DeviceMap map;
        map.rememberIn(&settings);
        map.setGiven(1, QStringLiteral("/dev/given"));
        map.choose(2, QStringLiteral("rfc2217://rack-7:2001"));
    }
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(!file.readAll().contains("given"), "a device from the command line was stored");

    QSettings settings(settingsFile(), QSettings::IniFormat);
    DeviceMap map;
    map.rememberIn(&settings);
    QCOMPARE(map.device(2), QStringLiteral("rfc2217://rack-7:2001"));
    QCOMPARE(map.source(2), Source::Remembered);
    QCOMPARE(map.source(1), Source::Default);
}

// The by-id links name the device they point to; a link to nothing, or a second link to the
// same device, changes nothing.
void DeviceMapTest::stableNames()
{
    const QString devices = dir_->filePath(QStringLiteral("dev"));
    const QString byId = dir_->filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(devices) && QDir().mkpath(byId));
    for (const char *name : {"ttyUSB0", "ttyUSB1"}) {
        QFile f(devices + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const auto link = [&](const QString &target, const char *name) {
        return QFile::link(target, byId + QLatin1Char('/') + QLatin1String(name));
    };
    QVERIFY(link(QStringLiteral("../dev/ttyUSB0"), "usb-FTDI_A1-if00-port0"));
    QVERIFY(link(QStringLiteral("../dev/ttyUSB0"), "usb-FTDI_A1-if00-port0-second"));
    QVERIFY(link(devices + QStringLiteral("/ttyUSB1"), "usb-Prolific_B2-if00-port0"));
    QVERIFY(link(QStringLiteral("../dev/gone"), "usb-Gone-if00-port0"));

    const QHash<QString, QString> names = ::stableNames(byId);
    QCOMPARE(names.size(), 2);
    QCOMPARE(names.value(QFileInfo(devices + QStringLiteral("/ttyUSB0")).canonicalFilePath()),
             byId + QStringLiteral("/usb-FTDI_A1-if00-port0"));
    QCOMPARE(names.value(QFileInfo(devices + QStringLiteral("/ttyUSB1")).canonicalFilePath()),
             byId + QStringLiteral("/usb-Prolific_B2-if00-port0"));
    QVERIFY(::stableNames(dir_->filePath(QStringLiteral("missing"))).isEmpty());
}

QTEST_GUILESS_MAIN(DeviceMapTest)
#include "tst_device_map.moc"

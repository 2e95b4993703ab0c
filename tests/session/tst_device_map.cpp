// Which device each port is: the one given, else $ODRA_COMn when set and not empty, else the
// platform's own serial port.
#include "line/device_map.h"

#include <QtTest>

class DeviceMapTest : public QObject
{
    Q_OBJECT
private slots:
    void device_data();
    void device();
};

void DeviceMapTest::device_data()
{
    QTest::addColumn<QString>("given");  // "-": none given
    QTest::addColumn<QByteArray>("env"); // "-": unset
    QTest::addColumn<QString>("device");
    QTest::newRow("nothing") << "-" << QByteArray("-") << "/dev/ttyS0";
    QTest::newRow("empty variable counts as unset") << "-" << QByteArray("") << "/dev/ttyS0";
    QTest::newRow("variable") << "-" << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
    QTest::newRow("given beats the variable")
        << "/dev/ttyACM0" << QByteArray("/dev/ttyUSB0") << "/dev/ttyACM0";
    QTest::newRow("empty given counts as none")
        << "" << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
    QTest::newRow("UTF-8 in the variable") << "-" << QByteArray("/dev/serial/by-id/\xc3\xa4")
                                           << QString::fromUtf8("/dev/serial/by-id/ä");
}

void DeviceMapTest::device()
{
    QFETCH(QString, given);
    QFETCH(QByteArray, env);
    QFETCH(QString, device);
    DeviceMap map;
    if (given != "-")
        map.setGiven(1, given);
    if (env == "-")
        qunsetenv("ODRA_COM1");
    else
        qputenv("ODRA_COM1", env);
    QCOMPARE(map.device(1), device);
    qunsetenv("ODRA_COM1");
}

QTEST_GUILESS_MAIN(DeviceMapTest)
#include "tst_device_map.moc"

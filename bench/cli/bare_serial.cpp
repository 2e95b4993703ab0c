// SPDX-License-Identifier: MIT
// The floor of odra's start-up: the least a Qt program does to put one command on a serial
// line, started in turn with odra in the same run.
#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    port.setBaudRate(19200);
    port.write("CR0\r");
    return port.waitForBytesWritten(1000) ? 0 : 1;
}

#include "link/qt_serial_port.h"

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent)
{
    LineSettings::parse(settingsText_, &line_);
    serial_.setReadBufferSize(0); // the window drains it at every notification
    connect(&serial_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort()
{
    closeFlushed();
}

void QtSerialPort::closeFlushed()
{
    if (!serial_.isOpen())
        return;
    // QSerialPort writes from its own queue when the event loop next turns, and close() throws
    // that queue away: a command clicked just before a port change or END would be lost. Hand
    // the line what it takes now, without waiting.
    serial_.flush();
    serial_.close();
    losing_ = false; // closed on purpose: a failure while flushing is no loss to report
}

bool QtSerialPort::setCommPort(int port)
{
    clearFailure();
    if (serial_.isOpen())
        return fail(tr("The port number cannot change while the port is open."));
    if (port < 1 || port > 16)
        return fail(tr("Invalid port number %1.").arg(port));
    port_ = port;
    return true;
}

bool QtSerialPort::setSettings(const QString &settings)
{
    clearFailure();
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed))
        return fail(tr("Invalid line settings \"%1\".").arg(settings));
    settingsText_ = settings;
    line_ = parsed;
    // An open port takes the new settings at once, without reopening.
    if (serial_.isOpen() && !applySettings())
        return fail(tr("Could not change the line settings of %1: %2")
                        .arg(devicePathForPort(port_), serial_.errorString()));
    return true;
}

bool QtSerialPort::applySettings()
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (line_.parity) {
    case 'E': parity = QSerialPort::EvenParity; break;
    case 'O': parity = QSerialPort::OddParity; break;
    case 'M': parity = QSerialPort::MarkParity; break;
    case 'S': parity = QSerialPort::SpaceParity; break;
    default: break;
    }
    bool ok = serial_.setBaudRate(line_.baud);
    ok = serial_.setParity(parity) && ok;
    ok = serial_.setDataBits(static_cast<QSerialPort::DataBits>(line_.dataBits)) && ok;
    ok = serial_.setStopBits(line_.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) && ok;
    ok = serial_.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

bool QtSerialPort::setPortOpen(bool open)
{
    clearFailure();
    if (!open) {
        losing_ = false; // closed on purpose: nothing left to report
        closeFlushed();
        serial_.clearError();
        return true;
    }
    if (serial_.isOpen())
        return fail(tr("The port is already open."));

    serial_.setPortName(devicePathForPort(port_));
    serial_.clearError();
    if (!serial_.open(QIODevice::ReadWrite)) {
        const QString why = describeOpenFailure(serial_.error());
        serial_.clearError();
        return fail(why);
    }
    if (!applySettings()) {
        const QString why = tr("Could not set %1 on %2: %3")
                                .arg(settingsText_, devicePathForPort(port_), serial_.errorString());
        serial_.close();
        serial_.clearError();
        return fail(why);
    }
    // Bytes that waited in the driver before we opened are not a reply to anything. The output
    // queue is left alone: all it can hold is what we wrote just before reopening the same port.
    serial_.clear(QSerialPort::Input);
    serial_.clearError();
    return true;
}

QString QtSerialPort::describeOpenFailure(QSerialPort::SerialPortError error) const
{
    const QString path = devicePathForPort(port_);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return tr("COM%1 (%2) does not exist.\nCheck the cable or adapter, or set ODRA_COM%1 "
                  "to the right device.\n(%3)")
            .arg(port_)
            .arg(path, serial_.errorString());
    case QSerialPort::PermissionError:
        return tr("COM%1 (%2) cannot be opened: it is in use by another program, or this user "
                  "may not open it (on Debian, join the \"dialout\" group).\n(%3)")
            .arg(port_)
            .arg(path, serial_.errorString());
    default:
        return tr("COM%1 (%2) cannot be opened.\n(%3)").arg(port_).arg(path, serial_.errorString());
    }
}

bool QtSerialPort::output(const QByteArray &bytes)
{
    clearFailure();
    if (!serial_.isOpen() || losing_)
        return fail(tr("COM%1 is not open.").arg(port_));
    if (bytes.isEmpty())
        return true;
    // write() queues the whole string and returns at once; the bytes reach the line in order.
    if (serial_.write(bytes) != bytes.size())
        return fail(tr("Writing to COM%1 failed: %2").arg(port_).arg(serial_.errorString()));
    // Left to itself QSerialPort hands the bytes to the driver on the event loop's next pass,
    // after the repaints the send has just caused; at a 5 ms repeat that put a repaint in front
    // of nearly every send. flush() hands them over now, without blocking; whatever the driver
    // cannot take yet still goes out later, in order.
    serial_.flush();
    return true;
}

QByteArray QtSerialPort::input()
{
    return serial_.isOpen() && !losing_ ? serial_.readAll() : QByteArray();
}

void QtSerialPort::onReadyRead()
{
    event_ = Receive;
    emit onComm();
    event_ = NoEvent;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // Pseudo-terminals refuse the modem-line requests; that is not a failure of the line.
    if (error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError)
        return;
    if (!serial_.isOpen() || losing_)
        return; // failures while opening are reported by setPortOpen(); a loss is reported once
    // Anything else on an open port means the line is gone: an unplugged adapter shows up as
    // a read error (the notifier would stay armed and spin) or a resource error. QSerialPort
    // is still inside its own notification here, so the close happens right after it returns.
    losing_ = true;
    QString what;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError: what = tr("the line hung up or the adapter was removed"); break;
    case QSerialPort::WriteError: what = tr("writing to the line failed"); break;
    default: what = tr("the line reported an error"); break;
    }
    lossDescription_ = tr("COM%1 (%2) stopped working and has been closed: %3.\n"
                          "Check the cable or adapter, then choose the port again.")
                           .arg(port_)
                           .arg(devicePathForPort(port_), what);
    QMetaObject::invokeMethod(this, &QtSerialPort::finishLoss, Qt::QueuedConnection);
}

void QtSerialPort::finishLoss()
{
    if (!losing_)
        return;
    losing_ = false;
    serial_.clearError();
    if (serial_.isOpen())
        serial_.close();
    emit portLost(lossDescription_);
}

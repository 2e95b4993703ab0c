#include "line/serial_line.h"

SerialLine::SerialLine(QObject *parent) : Line(parent)
{
    serial_.setReadBufferSize(0); // the session drains it at every notification
    connect(&serial_, &QSerialPort::readyRead, this, &Line::readyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &SerialLine::onError);
}

SerialLine::~SerialLine() { closeFlushed(); }

void SerialLine::closeFlushed()
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

bool SerialLine::close()
{
    clearFailure();
    losing_ = false; // closed on purpose: nothing left to report
    closeFlushed();
    serial_.clearError();
    return true;
}

bool SerialLine::setSettings(const LineSettings &settings)
{
    clearFailure();
    if (serial_.isOpen() && !apply(settings))
        return fail(Failure::Other, tr("Could not set %1 on %2: %3")
                                        .arg(settings.toString(), device_, serial_.errorString()));
    return true;
}

bool SerialLine::apply(const LineSettings &settings)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (settings.parity) {
    case Parity::Even: parity = QSerialPort::EvenParity; break;
    case Parity::Odd: parity = QSerialPort::OddParity; break;
    case Parity::Mark: parity = QSerialPort::MarkParity; break;
    case Parity::Space: parity = QSerialPort::SpaceParity; break;
    case Parity::None: break;
    }
    bool ok = serial_.setBaudRate(settings.baud);
    ok = serial_.setParity(parity) && ok;
    ok = serial_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) && ok;
    ok = serial_.setStopBits(settings.stopBits == StopBits::Two ? QSerialPort::TwoStop
                                                                : QSerialPort::OneStop) &&
         ok;
    ok = serial_.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

bool SerialLine::open(const QString &device, const LineSettings &settings)
{
    clearFailure();
    if (losing_) {
        // The old line is gone and its loss not yet reported: the operator has moved on to
        // another port, so it is let go without a report.
        losing_ = false;
        serial_.close();
        serial_.clearError();
    }
    if (serial_.isOpen())
        return fail(Failure::Other, tr("The line is already open."));

    device_ = device;
    serial_.setPortName(device);
    serial_.clearError();
    if (!serial_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial_.error();
        const QString detail = serial_.errorString();
        serial_.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError: return fail(Failure::Missing, detail);
        case QSerialPort::PermissionError: return fail(Failure::Refused, detail);
        default: return fail(Failure::Other, detail);
        }
    }
    if (!apply(settings)) {
        const QString detail = tr("Could not set %1 on %2: %3")
                                   .arg(settings.toString(), device_, serial_.errorString());
        serial_.close();
        serial_.clearError();
        return fail(Failure::Other, detail);
    }
    // Bytes that waited in the driver before we opened are not a reply to anything. The output
    // queue is left alone: all it can hold is what we wrote just before reopening the same port.
    serial_.clear(QSerialPort::Input);
    serial_.clearError();
    return true;
}

bool SerialLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (!isOpen())
        return fail(Failure::Other, tr("The line is not open."));
    if (bytes.isEmpty())
        return true;
    // write() queues the whole string and returns at once; the bytes reach the line in order.
    if (serial_.write(bytes) != bytes.size())
        return fail(Failure::Other, serial_.errorString());
    // Left to itself QSerialPort hands the bytes to the driver on the event loop's next pass,
    // after the repaints the send has just caused; at a 5 ms repeat that put a repaint in front
    // of nearly every send. flush() hands them over now, without blocking; whatever the driver
    // cannot take yet still goes out later, in order.
    serial_.flush();
    return true;
}

QByteArray SerialLine::readAll() { return isOpen() ? serial_.readAll() : QByteArray(); }

void SerialLine::onError(QSerialPort::SerialPortError error)
{
    // Pseudo-terminals refuse the modem-line requests; that is not a failure of the line.
    if (error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError)
        return;
    if (!serial_.isOpen() || losing_)
        return; // failures while opening are reported by open(); a loss is reported once
    // Anything else on an open port means the line is gone: an unplugged adapter shows up as
    // a read error (the notifier would stay armed and spin) or a resource error. QSerialPort
    // is still inside its own notification here, so the close happens right after it returns.
    losing_ = true;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError: lossCause_ = tr("the line hung up or the adapter was removed"); break;
    case QSerialPort::WriteError: lossCause_ = tr("writing to the line failed"); break;
    default: lossCause_ = tr("the line reported an error"); break;
    }
    QMetaObject::invokeMethod(this, &SerialLine::finishLoss, Qt::QueuedConnection);
}

void SerialLine::finishLoss()
{
    if (!losing_)
        return;
    losing_ = false;
    serial_.clearError();
    if (serial_.isOpen())
        serial_.close();
    emit lost(lossCause_);
}

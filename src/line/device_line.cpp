#include "line/device_line.h"

#include "line/serial_line.h"

DeviceLine::DeviceLine(QObject *parent) : Line(parent)
{
}

DeviceLine::~DeviceLine() = default;

bool DeviceLine::open(const QString &device, const LineSettings &settings)
{
    clearFailure();
    if (current_ && current_->isOpen())
        return fail(Failure::Other, tr("The line is already open."));
    if (!current_) {
        current_ = std::make_unique<SerialLine>();
        connect(current_.get(), &Line::readyRead, this, &Line::readyRead);
        connect(current_.get(), &Line::lost, this, &Line::lost);
    }
    return relay(current_->open(device, settings));
}

bool DeviceLine::close()
{
    clearFailure();
    return current_ ? relay(current_->close()) : true;
}

bool DeviceLine::isOpen() const
{
    return current_ && current_->isOpen();
}

bool DeviceLine::setSettings(const LineSettings &settings)
{
    clearFailure();
    return current_ ? relay(current_->setSettings(settings)) : true;
}

bool DeviceLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (!current_)
        return fail(Failure::Other, tr("The line is not open."));
    return relay(current_->write(bytes));
}

bool DeviceLine::drain(int maxMs)
{
    return !current_ || current_->drain(maxMs);
}

QByteArray DeviceLine::readAll()
{
    return current_ ? current_->readAll() : QByteArray();
}

bool DeviceLine::relay(bool ok)
{
    if (!ok)
        return fail(current_->failure(), current_->failureDetail());
    clearFailure();
    return true;
}

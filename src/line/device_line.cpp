// SPDX-License-Identifier: MIT
#include "line/device_line.h"

#include "line/device_address.h"
#include "line/network_line.h"
#include "line/serial_line.h"

DeviceLine::DeviceLine(Scheduler &scheduler, QObject *parent)
    : Line(parent), scheduler_(scheduler)
{
}

DeviceLine::~DeviceLine() = default;

void DeviceLine::follow(Line *line)
{
    connect(line, &Line::readyRead, this, [this, line] {
        if (current_ == line)
            emit readyRead();
    });
    connect(line, &Line::lost, this, [this, line](const QString &cause) {
        if (current_ == line)
            emit lost(cause);
    });
    connect(line, &Line::opened, this, [this, line] {
        if (current_ == line)
            emit opened();
    });
    connect(line, &Line::openFailed, this, [this, line] {
        if (current_ != line)
            return;
        fail(line->failure(), line->failureDetail());
        emit openFailed();
    });
}

bool DeviceLine::open(const QString &device, const LineSettings &settings)
{
    clearFailure();
    if (isOpen() || isConnecting())
        return fail(Failure::Other, tr("The line is already open."));
    const DeviceAddress address = DeviceAddress::parse(device);
    if (!address.isValid())
        return fail(Failure::BadName, address.problemText());
    if (address.isNetwork()) {
        if (!network_) {
            network_ = std::make_unique<NetworkLine>(scheduler_);
            follow(network_.get());
        }
        current_ = network_.get();
        return relay(*current_, network_->open(address, device, settings));
    }
    if (!serial_) {
        serial_ = std::make_unique<SerialLine>();
        follow(serial_.get());
    }
    current_ = serial_.get();
    return relay(*current_, current_->open(device, settings));
}

bool DeviceLine::close()
{
    clearFailure();
    return current_ ? relay(*current_, current_->close()) : true;
}

bool DeviceLine::isOpen() const
{
    return current_ && current_->isOpen();
}

bool DeviceLine::isConnecting() const
{
    return current_ && current_->isConnecting();
}

bool DeviceLine::setSettings(const LineSettings &settings)
{
    clearFailure();
    return current_ ? relay(*current_, current_->setSettings(settings)) : true;
}

bool DeviceLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (!current_)
        return fail(Failure::Other, tr("The line is not open."));
    return relay(*current_, current_->write(bytes));
}

bool DeviceLine::drain(int maxMs)
{
    return !current_ || current_->drain(maxMs);
}

QByteArray DeviceLine::readAll()
{
    return current_ ? current_->readAll() : QByteArray();
}

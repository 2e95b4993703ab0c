// SPDX-License-Identifier: MIT
#include "line/serial_line.h"

#include "line/device_address.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// Errors a second on a line that is still there, beyond which it counts as failing for good.
constexpr int kMostErrorsPerSecond = 100;

// The device node a path names, following symbolic links, from the path's own bytes: the port
// is opened and locked by it, so that a long or oddly named link to a device works, and two
// names of one device share one lock. The path as given when it names nothing (the open then
// says why).
QString nodeToOpen(const QString &device)
{
    const QString node = deviceNode(QFile::encodeName(device));
    return node.isEmpty() ? device : node;
}

// The name of the lock file the port takes: longer than a file name may be, no lock can be made.
bool lockNameTooLong(const QString &portName)
{
    return QFile::encodeName(portName).size() + qsizetype(sizeof "LCK..") - 1 > NAME_MAX;
}

// The errno that says the device to open names nothing (ENOENT, ENOTDIR, ENAMETOOLONG), else 0.
// A bare name is looked for under /dev, as the serial port looks for it.
int nodeMissing(const QString &node)
{
    const bool path = node.startsWith(u'/') || node.startsWith(QLatin1String("./")) ||
                      node.startsWith(QLatin1String("../"));
    const QByteArray name = QFile::encodeName(path ? node : QStringLiteral("/dev/") + node);
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) == 0)
        return 0;
    return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG ? errno : 0;
}

// Why nothing more can be opened when this process (or the system) has no file descriptor left;
// empty while there are some.
QString outOfFileDescriptors()
{
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe >= 0) {
        ::close(probe);
        return QString();
    }
    if (errno == ENFILE)
        return SerialLine::tr("The system has too many files open.");
    if (errno != EMFILE)
        return QString();
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return SerialLine::tr("Too many files are open in this program: it may have %1 at once "
                          "(ulimit -n); raise the limit or use fewer ports at once.")
        .arg(quint64(limit.rlim_cur));
}

} // namespace

// exit() skips every destructor on the stack: a program that exits that way (Qt does so when
// the connection to the display is lost) would leave its port locked for everybody else. The
// lines still open at exit are closed from an exit handler. A list the whole process shares,
// as exit handlers can reach nothing else.
struct OpenSerialLines
{
    static std::vector<SerialLine *> &all()
    {
        static std::vector<SerialLine *> lines;
        return lines;
    }
    static void add(SerialLine *line)
    {
        std::vector<SerialLine *> &lines = all();
        // Registered after the list is made, so that it runs before the list is destroyed.
        static const bool registered = std::atexit(closeAll) == 0;
        Q_UNUSED(registered);
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(line);
    }
    static void remove(SerialLine *line) { std::erase(all(), line); }
    static void closeAll()
    {
        for (SerialLine *line : std::vector(all())) {
            // Nobody is listening any more: no signal goes out of the line while it closes.
            const QSignalBlocker quiet(line->serial_);
            line->drain(Line::kEndDrainMs);
            line->serial_.close();
        }
        all().clear();
    }
};

SerialLine::SerialLine(QObject *parent) : Line(parent)
{
    serial_.setReadBufferSize(0); // the session drains it at every notification
    connect(&serial_, &QSerialPort::readyRead, this, &Line::readyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &SerialLine::onError);
    errorSecond_.start();
}

SerialLine::~SerialLine()
{
    closeFlushed();
}

void SerialLine::closeFlushed()
{
    OpenSerialLines::remove(this);
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

bool SerialLine::drain(int maxMs)
{
    const QDeadlineTimer deadline(std::max(0, maxMs));
    // Our own queue into the driver...
    while (isOpen() && serial_.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!serial_.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))) &&
            lineGone())
            break;
    }
    if (!isOpen())
        return false;
    // ...then the driver's onto the wire (a pseudo-terminal keeps none of its own).
    int inDriver = 0;
    while (::ioctl(serial_.handle(), TIOCOUTQ, &inDriver) == 0 && inDriver > 0 &&
           !deadline.hasExpired())
        QThread::msleep(5);
    const bool all = serial_.bytesToWrite() == 0 && inDriver <= 0;
    // What is still there when the time is up is dropped now: closing a port whose driver still
    // holds output waits until it is sent, however long that takes.
    if (!all)
        serial_.clear(QSerialPort::Output);
    return all;
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
    node_ = nodeToOpen(device);
    serial_.setPortName(node_);
    serial_.clearError();
    if (!serial_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial_.error();
        const QString detail = serial_.errorString();
        serial_.clearError();
        return openFailed(error, detail);
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
    errorsThisSecond_ = 0;
    OpenSerialLines::add(this);
    return true;
}

bool SerialLine::openFailed(QSerialPort::SerialPortError error, const QString &detail)
{
    // The lock file is taken before the device is looked at, and any failure to take it is
    // reported as a permission error: the first real cause is found here instead.
    if (error != QSerialPort::DeviceNotFoundError) {
        if (const int missing = nodeMissing(node_); missing != 0)
            return fail(Failure::Missing, QString::fromLocal8Bit(std::strerror(missing)));
        if (const QString limit = outOfFileDescriptors(); !limit.isEmpty())
            return fail(Failure::Other, limit);
    }
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        // A name that is not text in this system's encoding cannot be handed on as it is.
        if (device_.contains(QChar::ReplacementCharacter))
            return fail(Failure::Other,
                        tr("The device name is not valid text in this system's character "
                           "encoding; name the device by another path, such as a link to it "
                           "under /dev/serial/by-id. (%1)")
                            .arg(detail));
        return fail(Failure::Missing, detail);
    case QSerialPort::PermissionError:
        // The port is locked by a file named after the device: a name too long for a file name
        // fails as if the port were in use.
        if (lockNameTooLong(serial_.portName()))
            return fail(Failure::Other,
                        tr("The device's path is too long to name its lock file; name the device "
                           "by a shorter path. (%1)")
                            .arg(detail));
        return fail(Failure::Refused, detail);
    default: return fail(Failure::Other, detail);
    }
}

bool SerialLine::write(const QByteArray &bytes)
{
    clearFailure();
    if (!isOpen())
        return fail(Failure::Other, tr("The line is not open."));
    if (bytes.isEmpty())
        return true;
    const bool lineBusy = serial_.bytesToWrite() > 0;
    // write() queues the whole string and returns at once; the bytes reach the line in order.
    if (serial_.write(bytes) != bytes.size())
        return fail(Failure::Other, serial_.errorString());
    // Left to itself QSerialPort hands the bytes to the driver on the event loop's next pass,
    // after the repaints the send has just caused; at a 5 ms repeat that put a repaint in front
    // of nearly every send. flush() hands them over now, without blocking. Behind bytes the line
    // has not taken yet they could not go out any sooner: the port is already waiting for room
    // and sends them in turn.
    if (!lineBusy)
        serial_.flush();
    return true;
}

QByteArray SerialLine::readAll()
{
    return isOpen() ? serial_.readAll() : QByteArray();
}

bool SerialLine::lineGone() const
{
    const int fd = serial_.handle();
    if (!serial_.isOpen() || fd < 0)
        return true;
    pollfd p{fd, POLLIN | POLLOUT, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    termios t{};
    return ::tcgetattr(fd, &t) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV);
}

void SerialLine::onError(QSerialPort::SerialPortError error)
{
    // Pseudo-terminals refuse the modem-line requests; that is not a failure of the line.
    if (error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError)
        return;
    if (!serial_.isOpen() || losing_)
        return; // failures while opening are reported by open(); a loss is reported once
    const QString detail = serial_.errorString();
    if (!lineGone()) {
        // The line is still there. A write that finds its queue full fails with EAGAIN, which
        // QSerialPort reports as a resource error: that is back-pressure, not a loss. The port
        // keeps the bytes and writes them when the line has room.
        serial_.clearError();
        if (errorSecond_.elapsed() >= 1000) {
            errorSecond_.restart();
            errorsThisSecond_ = 0;
        }
        if (++errorsThisSecond_ <= kMostErrorsPerSecond)
            return;
        lossCause_ = tr("the line keeps failing (%1)").arg(detail);
    } else {
        // The line is gone: an unplugged adapter shows up as a read error (the notifier would
        // stay armed and spin) or a resource error.
        switch (error) {
        case QSerialPort::WriteError: lossCause_ = tr("writing to the line failed"); break;
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        default: lossCause_ = tr("the line hung up or the adapter was removed"); break;
        }
    }
    // QSerialPort is still inside its own notification here, so the close happens right after
    // it returns.
    losing_ = true;
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
    OpenSerialLines::remove(this);
    emit lost(lossCause_);
}

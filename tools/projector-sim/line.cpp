// SPDX-License-Identifier: MIT
#include "line.h"

#include "journal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Speed
{
    int baud;
    speed_t code;
};

constexpr Speed Speeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

// How often we look again at a line that has hung up: rarely enough to cost nothing.
constexpr int HangUpRetryMs = 250;

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

Line::Line(const Journal &journal, QObject *parent) : QObject(parent), journal_(journal)
{
    retry_.setSingleShot(true);
    retry_.setInterval(HangUpRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (notifier_)
            notifier_->setEnabled(true);
    });
}

Line::~Line()
{
    close();
}

bool Line::openPseudoTerminal(QString *error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *error = systemError(QStringLiteral("cannot open a pseudo-terminal"));
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        *error = systemError(QStringLiteral("cannot prepare the pseudo-terminal"));
        ::close(master);
        return false;
    }
    // We hold the device side open ourselves for as long as the line lives: when the panel
    // closes the port (it does so on every port change) the line then stays up, instead of
    // hanging up until somebody opens it again.
    const int keeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (keeper < 0 || tcgetattr(keeper, &raw) != 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(name)));
        if (keeper >= 0)
            ::close(keeper);
        ::close(master);
        return false;
    }
    // Raw from the start: no echo of our replies back to us, no CR to LF translation.
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    tcsetattr(keeper, TCSANOW, &raw);

    fcntl(master, F_SETFD, FD_CLOEXEC); // a --run program must not hold our end open
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fd_ = master;
    keeper_ = keeper;
    path_ = QString::fromLocal8Bit(name);
    watch();
    return true;
}

bool Line::openDevice(const QString &path, int baud, QString *error)
{
    speed_t code = 0;
    for (const Speed &s : Speeds) {
        if (s.baud == baud)
            code = s.code;
    }
    if (code == 0) {
        *error = QStringLiteral("unsupported speed %1").arg(baud);
        return false;
    }
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(path));
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        *error = systemError(QStringLiteral("%1 is not a serial device").arg(path));
        ::close(fd);
        return false;
    }
    // The master side of a pseudo-terminal is a terminal too, but nobody is at its other end:
    // /dev/ptmx makes a new one that nobody knows of. Serve the line's device side instead.
    if (int number = 0; ::ioctl(fd, TIOCGPTN, &number) == 0) {
        *error = QStringLiteral("%1 is the master side of a pseudo-terminal, not a serial line; "
                                "without --device the simulator makes a pseudo-terminal of its "
                                "own and prints its path")
                     .arg(path);
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio); // 8 data bits, no parity
    tio.c_cflag &= ~tcflag_t(CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | HUPCL; // HUPCL: closing drops DTR, as a pulled cable would
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF);
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        *error = systemError(QStringLiteral("cannot set up %1").arg(path));
        ::close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    path_ = path;
    watch();
    return true;
}

void Line::watch()
{
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Line::onReadable);
}

void Line::onReadable()
{
    char buf[4096];
    // A bounded number of reads per wake-up, so that a flood cannot starve our timers.
    for (int round = 0; round < 16 && fd_ >= 0; ++round) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            if (hungUp_) {
                hungUp_ = false;
                journal_.note(QStringLiteral("line is back"));
            }
            emit received(QByteArray(buf, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (hungUp_) {
                hungUp_ = false;
                journal_.note(QStringLiteral("line is back"));
            }
            return;
        }
        onHangUp(); // end of file, or EIO: the other side is gone for now
        return;
    }
}

// A hung-up descriptor stays readable for ever; listening on would spin. Look again later.
void Line::onHangUp()
{
    if (!hungUp_) {
        hungUp_ = true;
        journal_.note(QStringLiteral("line hung up; looking again every %1 ms").arg(HangUpRetryMs));
    }
    notifier_->setEnabled(false);
    retry_.start();
}

void Line::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    if (done == bytes.size()) {
        dropping_ = false;
        return;
    }
    if (!dropping_) { // one line per stretch of losses, not one per write
        dropping_ = true;
        journal_.note(QStringLiteral("line did not take %1 byte(s); dropping until it does")
                          .arg(bytes.size() - done));
    }
}

int Line::unreadByFarSide() const
{
    int n = 0;
    if (keeper_ >= 0)
        ioctl(keeper_, FIONREAD, &n);
    else if (fd_ >= 0)
        ioctl(fd_, TIOCOUTQ, &n);
    return n;
}

void Line::close()
{
    retry_.stop();
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
    if (keeper_ >= 0)
        ::close(keeper_);
    fd_ = keeper_ = -1;
}

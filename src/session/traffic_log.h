// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class PanelSession;

// A record of the traffic for whoever looks into it later (a field technician hands the file
// over): one line per command sent and one per reply, each with the time to the millisecond and
// its UTC offset, the port, the bytes in hex and as the monitor shows them, and for a reply
// what it decodes to. Six fields separated by tabs (the monitor's text keeps its blanks); text
// from outside (a device's name, the status) has its backslashes and control characters
// escaped, so that each line is one record and no field holds a tab:
//
//   2026-12-07T22:00:00.123+01:00  COM1 (/dev/ttyS0)  TXD  43 52 30 0D   C R 0 CR
//   2026-12-07T22:00:00.141+01:00  COM1 (/dev/ttyS0)  RXD  38 30 0D      8 0 CR    Stand by
//
// A reply is written as the session answers the command (its answer whole, or its reply window
// over), with the status the session decoded; what answers nothing is written when the next
// command goes out, when the session goes and when the log closes, so that no byte is held
// back for long. The file is appended to and written line by line: it holds every line up to
// the last even when the program is stopped hard.
class TrafficLog final : public QObject
{
    Q_OBJECT
public:
    explicit TrafficLog(QObject *parent = nullptr);
    ~TrafficLog() override;

    // Opens (creating, or appending to) the file; false with errorString() when it cannot be.
    bool open(const QString &path);
    QString errorString() const { return file_.errorString(); }
    bool isOpen() const { return file_.isOpen(); }

    // Records the traffic of a session from now on. portName names its port in every line; by
    // default the session's port and device at the time, "COM1 (/dev/ttyS0)".
    void follow(const PanelSession &session, const QString &portName = QString());

    // The most bytes of a reply held back waiting for its end; more are written at once.
    static constexpr qsizetype kPendingLimit = 4096;

private:
    struct Follower;
    void sent(Follower &f, const QByteArray &bytes);
    void arrived(Follower &f, const QByteArray &bytes);
    void writeReply(Follower &f, const QString &status);
    // One line of the log; rendered: the bytes as the monitor shows them.
    void writeLine(qint64 atMs, const QString &port, const char *direction, const QByteArray &bytes,
                   const QString &rendered, const QString &status);

    QFile file_;
    QString path_; // as given, for the warning that names it
    bool writeFailed_ = false;
    std::vector<std::unique_ptr<Follower>> followers_;
};

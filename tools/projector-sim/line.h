// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class Journal;
class QSocketNotifier;

// Our end of the serial line: the master of a new pseudo-terminal, or an existing serial
// device. Reads arrive through received(); writes never block.
class Line : public QObject
{
    Q_OBJECT

public:
    explicit Line(const Journal &journal, QObject *parent = nullptr);
    ~Line() override;

    bool openPseudoTerminal(QString *error);
    bool openDevice(const QString &path, int baud, QString *error);

    // The device the other side opens.
    QString path() const { return path_; }
    bool isOpen() const { return fd_ >= 0; }

    // What the line cannot take right now (nobody reading, queue full) is dropped and logged,
    // as bytes sent to an unplugged cable are lost.
    void write(const QByteArray &bytes);

    // Bytes we wrote that the other side has not taken yet: not yet read from the
    // pseudo-terminal, or not yet sent out of the serial device.
    int unreadByFarSide() const;

    // Closes every descriptor of the line we hold, so that the other side sees the line go,
    // as when the adapter is pulled.
    void close();

signals:
    void received(const QByteArray &bytes);

private:
    void watch();
    void onReadable();
    void onHangUp();

    const Journal &journal_;
    int fd_ = -1;
    int keeper_ = -1; // our own descriptor of the pseudo-terminal's device side
    QSocketNotifier *notifier_ = nullptr;
    QTimer retry_;
    QString path_;
    bool hungUp_ = false;
    bool dropping_ = false;
};

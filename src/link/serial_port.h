#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial port as the window uses it: a port number, a settings text ("19200,N,8,1"), an
// open flag, a write of a whole string, a read of everything waiting, and a receive
// notification. Every operation that can fail returns false and leaves a description of the
// failure in failureText(), the way the window reports it to the operator.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    // The kind of notification being handled, read in the receive handler.
    enum CommEventKind : int { NoEvent = 0, Receive = 2 };

    using QObject::QObject;
    ~SerialPort() override = default;

    virtual bool setCommPort(int port) = 0;
    virtual int commPort() const = 0;

    virtual bool setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;

    virtual bool setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    // Writes the bytes, whole and in order. False, and nothing written, when the port is not
    // open or the write fails.
    virtual bool output(const QByteArray &bytes) = 0;

    // Everything waiting in the receive queue, removed from it.
    virtual QByteArray input() = 0;

    virtual int commEvent() const = 0;

    QString failureText() const { return failure_; }

signals:
    // Characters are waiting (commEvent() is Receive while the handler runs).
    void onComm();
    // The open port went away (adapter unplugged, line hung up). The port is already closed
    // when this is emitted, and it is emitted once per loss.
    void portLost(const QString &description);

protected:
    bool fail(const QString &description)
    {
        failure_ = description;
        return false;
    }
    void clearFailure() { failure_.clear(); }

private:
    QString failure_;
};

// Parsed form of a settings text such as "19200,N,8,1".
struct LineSettings
{
    int baud = 0;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    static bool parse(const QString &text, LineSettings *out);
};

// The device behind port number n: $ODRA_COM1 / $ODRA_COM2 when set, else the platform's
// first and second serial port.
QString devicePathForPort(int port);

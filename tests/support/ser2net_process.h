// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net as a child process of a test or the bench: one connection from a port on 127.0.0.1 to
// a serial device (a pseudo-terminal), written to a YAML file of its own and served in the
// foreground until stop() or the end of this object.
class Ser2netProcess
{
public:
    enum class Accepter { Rfc2217, Raw };

    Ser2netProcess() = default;
    ~Ser2netProcess();
    Ser2netProcess(const Ser2netProcess &) = delete;
    Ser2netProcess &operator=(const Ser2netProcess &) = delete;

    // Whether ser2net is installed at all.
    static bool available();

    // Starts serving device on port (0: a free one) and waits, generously, until it listens.
    bool start(const QString &device, Accepter accepter, quint16 port = 0);
    // Stops it as an operator would (SIGTERM); its connections close.
    void stop();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }

    quint16 port() const { return port_; }
    // The device name the panel is given: rfc2217://127.0.0.1:PORT or socket://127.0.0.1:PORT.
    QString url() const;
    // The configuration and everything ser2net said, for a failure report.
    QByteArray log() const;

private:
    bool listening() const;

    QTemporaryDir dir_;
    QProcess process_;
    Accepter accepter_ = Accepter::Rfc2217;
    quint16 port_ = 0;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "line/adapters.h"
#include "line/device_map.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// A text for a word-wrapped label: a label wraps only between words, so a long name without
// blanks (a device path) would be cut off at the label's edge. In such a name a zero-width space
// follows each slash, where the line may then break; shorter words are left as they are.
QString wrappableText(const QString &text);

// Which device one of the panel's ports is: the adapters the system knows of (device, what it
// is, who made it, its serial number and its stable name), and a box that takes any device
// path or device server address. Opened from the warning that a port cannot be opened and from
// the context menu of the port's option button.
class DeviceDialog final : public QDialog
{
    Q_OBJECT
public:
    using Finder = std::function<QList<Adapter>()>;

    // current and origin: the port's device now and where it comes from, as the map says.
    DeviceDialog(int port, const QString &current, const DeviceMap::Source origin,
                 const QString &originText, Finder find, QWidget *parent = nullptr);

    int port() const { return port_; }
    // The device as typed or picked, without surrounding blanks.
    QString device() const;

    // The longest device name taken: longer than any path the system allows.
    static constexpr int kMostChars = 4096;

public slots:
    void refresh(); // ask the system for its adapters again

private:
    void picked();
    void typed();

    int port_;
    Finder find_;
    QTreeWidget *adapters_ = nullptr;
    QLabel *none_ = nullptr;
    QLineEdit *device_ = nullptr;
    QLabel *problem_ = nullptr;
    QPushButton *open_ = nullptr;
};

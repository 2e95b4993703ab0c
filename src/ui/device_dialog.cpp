// SPDX-License-Identifier: MIT
#include "ui/device_dialog.h"

#include "line/device_address.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <string_view>

namespace {

// The dialog's controls: object name, caption, the name and words assistive technology reads.
struct DialogControl
{
    std::string_view name;
    const char *caption;
    const char *spoken;
    const char *what;
};

// clang-format off
constexpr DialogControl kControls[] = {
{"adapters", "&Adapters found:",    "Serial adapters found", "Pick an adapter to use it for the port; its stable name is used where it has one"},
{"device",   "&Device or address:", "Device or address",     "A device path such as /dev/ttyUSB0, or a device server as rfc2217://HOST:PORT or socket://HOST:PORT"},
{"refresh",  "&Refresh",            "Refresh",               "Look for adapters again"},
{"open",     "&Open",               "Open",                  "Use this device for the port from now on, and open it"},
{"cancel",   "Cancel",              "Cancel",                "Leave the port as it is"},
};

// The list's columns.
constexpr const char *kColumns[] = {"Device", "Description", "Manufacturer", "Serial number",
                                    "Stable name"};

// Other texts. %1 is the port's number, %2 its device, %3 where that comes from.
constexpr const char *kTitle = "COM%1 device";
constexpr const char *kNow = "COM%1 is %2 (%3).";
// When the device came from the command line or the environment, a choice here still holds
// until the panel ends; at the next start they come first again.
constexpr const char *kOnlyThisRun = "A device chosen here is used until the panel ends and is "
                                     "remembered, but at the next start %3 comes first again.";
constexpr const char *kNoAdapters = "No serial adapters found. Plug one in and press Refresh, or "
                                    "type a device or address below.";
constexpr const char *kPlaceholder = "/dev/ttyUSB0, rfc2217://HOST:PORT, socket://HOST:PORT";
// clang-format on

const DialogControl &controlNamed(std::string_view name)
{
    for (const DialogControl &c : kControls)
        if (c.name == name)
            return c;
    Q_UNREACHABLE();
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Names the widget and tells assistive technology what it is and does.
template <typename W> W *named(W *widget, std::string_view name)
{
    const DialogControl &c = controlNamed(name);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(text(c.spoken));
    widget->setAccessibleDescription(text(c.what));
    return widget;
}

QLabel *captionFor(QWidget *buddy, std::string_view name, QWidget *parent)
{
    auto *label = new QLabel(text(controlNamed(name).caption), parent);
    label->setBuddy(buddy);
    return label;
}

// Words longer than this are given places to break.
constexpr qsizetype kLongestUnbrokenWord = 40;

} // namespace

QString wrappableText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace())
            continue;
        const QStringView word = QStringView(text).mid(wordStart, i - wordStart);
        if (word.size() > kLongestUnbrokenWord) {
            for (const QChar c : word) {
                out += c;
                if (c == u'/')
                    out += QChar(0x200B);
            }
        } else {
            out += word;
        }
        if (i < text.size())
            out += text[i];
        wordStart = i + 1;
    }
    return out;
}

DeviceDialog::DeviceDialog(int port, const QString &current, const DeviceMap::Source origin,
                           const QString &originText, Finder find, QWidget *parent)
    : QDialog(parent), port_(port), find_(std::move(find))
{
    setObjectName(QStringLiteral("device-dialog"));
    setWindowTitle(text(kTitle).arg(port));

    auto *now = new QLabel(text(kNow).arg(port).arg(current, originText), this);
    now->setObjectName(QStringLiteral("device-now"));
    now->setWordWrap(true);
    now->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (origin == DeviceMap::Source::Given || origin == DeviceMap::Source::Environment)
        now->setText(now->text() + QLatin1Char(' ') +
                     text(kOnlyThisRun).replace(QLatin1String("%3"), originText));
    now->setText(wrappableText(now->text()));

    adapters_ = named(new QTreeWidget(this), "adapters");
    adapters_->setRootIsDecorated(false);
    adapters_->setUniformRowHeights(true);
    adapters_->setAllColumnsShowFocus(true);
    QStringList headers;
    for (const char *column : kColumns)
        headers << text(column);
    adapters_->setHeaderLabels(headers);
    adapters_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    none_ = new QLabel(text(kNoAdapters), this);
    none_->setObjectName(QStringLiteral("no-adapters"));
    none_->setWordWrap(true);

    device_ = named(new QLineEdit(this), "device");
    device_->setMaxLength(kMostChars);
    device_->setPlaceholderText(text(kPlaceholder));
    device_->setText(current);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("device-problem"));
    problem_->setWordWrap(true);
    problem_->hide();

    auto *buttons = new QDialogButtonBox(this);
    open_ =
        named(buttons->addButton(text(controlNamed("open").caption), QDialogButtonBox::AcceptRole),
              "open");
    open_->setDefault(true);
    named(buttons->addButton(text(controlNamed("cancel").caption), QDialogButtonBox::RejectRole),
          "cancel");
    auto *again = named(
        buttons->addButton(text(controlNamed("refresh").caption), QDialogButtonBox::ActionRole),
        "refresh");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(now);
    layout->addWidget(captionFor(adapters_, "adapters", this));
    layout->addWidget(adapters_, 1);
    layout->addWidget(none_);
    layout->addWidget(captionFor(device_, "device", this));
    layout->addWidget(device_);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    resize(720, 360);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(again, &QPushButton::clicked, this, &DeviceDialog::refresh);
    connect(adapters_, &QTreeWidget::itemSelectionChanged, this, &DeviceDialog::picked);
    connect(adapters_, &QTreeWidget::itemActivated, this, [this] {
        if (open_->isEnabled())
            accept();
    });
    connect(device_, &QLineEdit::textChanged, this, &DeviceDialog::typed);

    refresh();
    typed();
    device_->setFocus();
    device_->selectAll();
}

QString DeviceDialog::device() const
{
    return device_->text().trimmed();
}

void DeviceDialog::refresh()
{
    const QString typedNow = device();
    adapters_->clear();
    const QList<Adapter> found = find_ ? find_() : QList<Adapter>{};
    QTreeWidgetItem *current = nullptr; // the port's device now, by either of its names
    for (const Adapter &a : found) {
        auto *item = new QTreeWidgetItem(
            adapters_, {a.device, a.description, a.manufacturer, a.serialNumber, a.stableName});
        item->setData(0, Qt::UserRole, a.preferredName());
        if (!current && (a.device == typedNow || a.stableName == typedNow))
            current = item;
    }
    adapters_->setVisible(!found.isEmpty());
    none_->setVisible(found.isEmpty());
    if (current) {
        const QSignalBlocker quiet(adapters_);
        adapters_->setCurrentItem(current);
    }
}

void DeviceDialog::picked()
{
    const QList<QTreeWidgetItem *> items = adapters_->selectedItems();
    if (!items.isEmpty())
        device_->setText(items.constFirst()->data(0, Qt::UserRole).toString());
}

void DeviceDialog::typed()
{
    const QString name = device();
    const DeviceAddress address = DeviceAddress::parse(name);
    const bool good = !name.isEmpty() && address.isValid();
    open_->setEnabled(good);
    problem_->setText(name.isEmpty() || good ? QString() : address.problemText());
    problem_->setVisible(!problem_->text().isEmpty());
}

// SPDX-License-Identifier: MIT
#include "ui/panel_window.h"

#include "ui/accessibility.h"
#include "ui/layout_builder.h"
#include "ui/twips.h"
#include "ui/widgets.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

// The window's outer heights, in twips, by view.
constexpr int kCompactHeight = 5350;
constexpr int kDataViewHeight = 6645;
constexpr int kExtendedHeight = 7200;
constexpr int kFullHeight = 9100;

// The data-view button's captions.
const QString kClose = QStringLiteral("CLOSE");
const QString kShowData = QStringLiteral("データを表示する");
const QString kHideData = QStringLiteral("データを表示しない");

template <typename T> T *controlOf(const QHash<QString, QWidget *> &all, const char *name)
{
    auto *w = qobject_cast<T *>(all.value(QString::fromLatin1(name)));
    Q_ASSERT_X(w, "PanelWindow", name);
    return w;
}

} // namespace

QString PanelWindow::appTitle()
{
    return QStringLiteral("ODRA control");
}

PanelWindow::PanelWindow(PanelSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      session_(session)
{
    findAdapters_ = findAdapters;

    // Before any control exists, so that each is presented as its own kind from the first.
    accessibility::install();
    setObjectName(QStringLiteral("panel"));
    setWindowTitle(QString::fromUtf8(layout::kWindowCaption));
    layout::installFontSubstitutions();
    setFont(layout::font(layout::Font::Gothic9Bold));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(layout::kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);

    controls_ = layout::build(this);
    transmitLine_ = controlOf<PanelLabel>(controls_, "transmit-line");
    receiveLine_ = controlOf<PanelLabel>(controls_, "receive-line");
    statusLine_ = controlOf<PanelLabel>(controls_, "status-line");
    statusLine_->setNews(true);
    settingsFrame_ = controlOf<QWidget>(controls_, "settings-frame");
    dataView_ = controlOf<QPushButton>(controls_, "data-view");
    commandText_ = controlOf<QLineEdit>(controls_, "command-text");

    // The settings frame opens over "COM" and hides it.
    settingsFrame_->raise();
    controlOf<QAbstractButton>(controls_, "speed-19200")->setChecked(true);
    controlOf<QAbstractButton>(controls_, "com1")->setChecked(true);

    setFixedWidth(twips::toPixels(layout::kClientWidthTwips));
    placeOnScreen();
    showView(session_.view());

    connectControls();
    connectPortMenus();
    connectSession();
}

PanelWindow::~PanelWindow() = default;

QAbstractButton *PanelWindow::portButton(int port) const
{
    return controlOf<QAbstractButton>(controls_, port == 1 ? "com1" : "com2");
}

void PanelWindow::setWarningPresenter(std::function<void(const QString &)> present)
{
    presentWarning_ = std::move(present);
}

void PanelWindow::setOuterHeight(int twips)
{
    outerHeightTwips_ = twips;
    setFixedHeight(twips::toPixels(twips - twips::kFrameHeight));
}

void PanelWindow::placeOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    move(startPosition(area, screen ? screen->availableGeometry() : area));
}

QPoint PanelWindow::startPosition(const QRect &screen, const QRect &available)
{
    const double windowWidth = layout::kClientWidthTwips + twips::kFrameWidth;
    const double windowHeight = layout::kClientHeightTwips + twips::kFrameHeight;
    const double left = (twips::fromPixels(screen.width()) - windowWidth) / 2;
    const double top = (twips::fromPixels(screen.height()) - windowHeight) / 2;
    const QPoint centred(screen.x() + twips::toPixels(left), screen.y() + twips::toPixels(top));
    // Into the free area where it fits there; top and left first where it does not.
    const auto within = [](int at, int size, int from, int length) {
        return std::max(from, std::min(at, from + length - size));
    };
    return {within(centred.x(), twips::toPixels(windowWidth), available.x(), available.width()),
            within(centred.y(), twips::toPixels(windowHeight), available.y(), available.height())};
}

void PanelWindow::showView(PanelSession::View view)
{
    using View = PanelSession::View;
    switch (view) {
    case View::Opened: setOuterHeight(kCompactHeight); return; // the button still hidden
    case View::Extended:
        setOuterHeight(kExtendedHeight);
        dataView_->setText(kClose);
        break;
    case View::Full:
        setOuterHeight(kFullHeight);
        dataView_->setText(kClose);
        break;
    case View::Compact:
        setOuterHeight(kCompactHeight);
        dataView_->setText(kShowData);
        break;
    case View::DataView:
        setOuterHeight(kDataViewHeight);
        dataView_->setText(kHideData);
        break;
    }
    dataView_->setVisible(true);
}

void PanelWindow::connectSession()
{
    connect(&session_, &PanelSession::transmitLineChanged, transmitLine_, &PanelLabel::setText);
    connect(&session_, &PanelSession::receiveLineChanged, receiveLine_, &PanelLabel::setText);
    connect(&session_, &PanelSession::receiveLineExtended, receiveLine_,
            [this](const QString &tokens) { receiveLine_->appendText(tokens); });
    connect(&session_, &PanelSession::statusLineChanged, statusLine_, &PanelLabel::setText);
    connect(&session_, &PanelSession::viewChanged, this, &PanelWindow::showView);
    connect(&session_, &PanelSession::settingsOpenChanged, settingsFrame_, &QWidget::setVisible);
    // The option buttons show what the session says was chosen (a port's stays marked when its
    // device fails, as the operator left it).
    connect(&session_, &PanelSession::portChosen, this,
            [this](int port) { portButton(port)->setChecked(true); });
    connect(&session_, &PanelSession::settingsChanged, this, [this](const LineSettings &s) {
        const char *speed = s.baud == 9600 ? "speed-9600" : "speed-19200";
        controlOf<QAbstractButton>(controls_, speed)->setChecked(true);
    });
    connect(&session_, &PanelSession::warning, this, [this](const QString &text, int port) {
        if (presentWarning_)
            presentWarning_(text);
        else
            showWarning(text, port);
    });
    connect(&session_, &PanelSession::ended, this, &QWidget::close);
}

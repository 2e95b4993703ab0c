#include "app/form1.h"

#include "app/twips.h"
#include "panel/layout_builder.h"
#include "panel/widgets.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <cstdio>

namespace {

constexpr int kCompactHeight = 5350;
constexpr const char *kStartSettings = "19200,N,8,1";

template <typename T> T *lookup(const QHash<QString, QWidget *> &all, const char *name)
{
    auto *w = qobject_cast<T *>(all.value(QString::fromLatin1(name)));
    Q_ASSERT_X(w, "Form1", name);
    return w;
}

void showWarningBox(Form1 *window, const QString &text)
{
    // Not blocking: the window keeps receiving and its timers keep running while the operator
    // reads the message.
    auto *box = new QMessageBox(QMessageBox::Warning, Form1::appTitle(), text, QMessageBox::Ok,
                                window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

} // namespace

QString Form1::appTitle() { return QStringLiteral("ODRA control"); }

Form1::Form1(Scheduler &scheduler, SerialPort &port, Platform platform, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      MSComm1(port), scheduler_(scheduler), platform_(std::move(platform))
{
    if (!platform_.warning)
        platform_.warning = showWarningBox;
    if (!platform_.endProgram)
        platform_.endProgram = [] { QCoreApplication::quit(); };

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(layout::kWindowCaption));
    layout::installFontSubstitutions();
    setFont(layout::font(layout::Font::F0));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(layout::kWindowBack));
    setPalette(pal);
    setAutoFillBackground(true);

    controls_ = layout::build(this);
    Frame8 = lookup<QFrame>(controls_, "Frame8");
    Option1 = lookup<QRadioButton>(controls_, "Option1");
    Option2 = lookup<QRadioButton>(controls_, "Option2");
    Option9 = lookup<QRadioButton>(controls_, "Option9");
    Option10 = lookup<QRadioButton>(controls_, "Option10");
    Command16 = lookup<QPushButton>(controls_, "Command16");
    Command33 = lookup<QPushButton>(controls_, "Command33");
    Label11 = lookup<PanelLabel>(controls_, "Label11");
    Label12 = lookup<PanelLabel>(controls_, "Label12");
    Label22 = lookup<PanelLabel>(controls_, "Label22");
    Command34 = qobject_cast<QPushButton *>(control(QStringLiteral("Command34")));
    Text1 = qobject_cast<QLineEdit *>(control(QStringLiteral("Text1")));
    Image1 = qobject_cast<PanelImage *>(control(QStringLiteral("Image1")));

    // The settings frame opens over "COM" and hides it.
    Frame8->raise();
    Option9->setChecked(true);

    setFixedWidth(twips::toPixels(layout::kClientWidthTwips));
    setHeight(layout::kClientHeightTwips + twips::kFrameHeight);

    Timer1 = scheduler_.createTimer(200);
    Timer2 = scheduler_.createTimer(500);
    Timer3 = scheduler_.createTimer(5000);
    Timer4 = scheduler_.createTimer(1000);
    Timer1->setHandler([this] { Timer1_Timer(); });
    Timer2->setHandler([this] { Timer2_Timer(); });
    Timer3->setHandler([this] { Timer3_Timer(); });
    Timer4->setHandler([this] { Timer4_Timer(); });

    connect(&MSComm1, &SerialPort::onComm, this, &Form1::MSComm1_OnComm);
    connect(&MSComm1, &SerialPort::portLost, this, &Form1::portLost);

    connect(Command33, &QPushButton::clicked, this, &Form1::Command33_Click);
    connect(Command16, &QPushButton::clicked, this, &Form1::Command16_Click);
    // clicked, not toggled: choosing the port that is already marked tries it again, which is
    // how an operator recovers once the adapter is back.
    connect(Option1, &QRadioButton::clicked, this, &Form1::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &Form1::Option2_Click);
    connect(Option9, &QRadioButton::clicked, this, &Form1::Option9_Click);
    connect(Option10, &QRadioButton::clicked, this, &Form1::Option10_Click);
    connectButtons();

    Form_Load();
}

Form1::~Form1() = default;

void Form1::setHeight(int outerTwips)
{
    heightTwips_ = outerTwips;
    setFixedHeight(twips::toPixels(outerTwips - twips::kFrameHeight));
}

void Form1::Form_Load()
{
    PortSettings = QString::fromLatin1(kStartSettings);

    // Centred as the full window would be: the top uses the designed height, before the
    // window shrinks to its compact height, so the compact window sits above the centre.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const double windowWidth = layout::kClientWidthTwips + twips::kFrameWidth;
    const double left = (twips::fromPixels(area.width()) - windowWidth) / 2;
    const double top = (twips::fromPixels(area.height()) - Height()) / 2;
    move(area.x() + twips::toPixels(left), area.y() + twips::toPixels(top));
    setHeight(kCompactHeight);

    HeldKey = 0;
    AwaitingReply = 0;
    emptyReceiveBuffer();

    MSComm1.setCommPort(1);
    MSComm1.setSettings(PortSettings);
    const bool opened = MSComm1.setPortOpen(true);
    if (!opened)
        warn(MSComm1.failureText());

    Option1->setChecked(true);
    // Marking COM1 runs its handler, which closes and reopens the port just opened. When port 1
    // could not be opened the handler would only fail again and warn a second time: the
    // window opens with the port closed and one warning, and choosing COM1 tries again.
    if (opened)
        Option1_Click();
}

void Form1::Command33_Click()
{
    Frame8->show();
    Timer3->setEnabled(true);
}

void Form1::Option1_Click() { portChange(1, 2); }
void Form1::Option2_Click() { portChange(2, 1); }
void Form1::Option9_Click() { speedChange(QStringLiteral("19200,N,8,1")); }
void Form1::Option10_Click() { speedChange(QStringLiteral("9600,N,8,1")); }

void Form1::portChange(int port, int otherPort)
{
    QString failure;
    auto step = [&](bool ok) {
        if (!ok && failure.isEmpty())
            failure = MSComm1.failureText();
    };

    if (MSComm1.portOpen())
        step(MSComm1.setPortOpen(false));
    step(MSComm1.setCommPort(port));
    // The chosen port is opened even when the port was closed before, so that a failed change
    // or a late-plugged adapter is mended by choosing the port again.
    if (failure.isEmpty())
        step(MSComm1.setPortOpen(true));

    if (!failure.isEmpty()) {
        warn(failure);
        MSComm1.setCommPort(otherPort);
    } else {
        Frame8->hide();
    }
}

void Form1::speedChange(const QString &settings)
{
    PortSettings = settings;
    MSComm1.setSettings(PortSettings);
    Frame8->hide();
}

void Form1::Timer3_Timer()
{
    Frame8->hide();
    Timer3->setEnabled(false);
}

void Form1::Command16_Click()
{
    MSComm1.setPortOpen(false);
    close();
    platform_.endProgram();
}

void Form1::portLost(const QString &description) { warn(description); }

void Form1::warn(const QString &text)
{
    // A message box takes the mouse from a held button: the repeat must not run on unseen.
    endHoldEarly();
    std::fprintf(stderr, "odra-control: %s\n", qPrintable(text));
    platform_.warning(this, text);
}

// The hidden views: Ctrl+J opens the monitor, a double-click on the picture the full window, and
// the data-view button toggles between the compact window and the monitor.
#include "app/form1.h"

#include "panel/widgets.h"

#include <QPushButton>

namespace {
constexpr int kCompact = 5350;
constexpr int kDataView = 6645;
constexpr int kExtended = 7200;
constexpr int kFull = 9100;
constexpr int kTallerThanCompact = 6000;

constexpr int kShift = 1, kCtrl = 2, kAlt = 4;

const QString kClose = QStringLiteral("CLOSE");
const QString kShowData = QStringLiteral("データを表示する");
const QString kHideData = QStringLiteral("データを表示しない");
} // namespace

void Form1::Form_KeyDown(int keyCode, int shift)
{
    if ((shift & (kShift | kCtrl | kAlt)) != kCtrl || keyCode != Qt::Key_J)
        return;
    setHeight(kExtended);
    ExtendedView = 1;
    Command34->setText(kClose);
    Command34->setVisible(true);
}

void Form1::Image1_DblClick()
{
    if (ExtendedView != 1)
        return;
    setHeight(kFull);
    Command34->setText(kClose);
    Command34->setVisible(true);
}

void Form1::Command34_Click()
{
    Timer3->setEnabled(false);
    ExtendedView = 0;
    if (Height() < kTallerThanCompact) {
        setHeight(kDataView);
        Command34->setText(kHideData);
    } else {
        setHeight(kCompact);
        Command34->setText(kShowData);
    }
    Timer3->setEnabled(true);
}

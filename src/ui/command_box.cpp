// SPDX-License-Identifier: MIT
#include "ui/command_box.h"

#include "ui/layout.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QToolTip>
#include <QValidator>

#include <limits>

namespace {

// Whole texts of up to kLimit characters; anything longer is refused, never cut.
class LengthLimit final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        return input.size() > CommandBox::kLimit ? Invalid : Acceptable;
    }
};

} // namespace

CommandBox::CommandBox(QWidget *parent) : QLineEdit(parent)
{
    // The box's own length limit would cut a paste short; the validator refuses it instead.
    setMaxLength(std::numeric_limits<int>::max());
    setValidator(new LengthLimit(this));
    connect(this, &QLineEdit::textChanged, this, &CommandBox::followLength);
    connect(this, &QLineEdit::inputRejected, this, [this] {
        QToolTip::showText(mapToGlobal(QPoint(0, height())),
                           QString::fromUtf8(layout::kCommandBoxFull), this);
    });
}

CommandBox::~CommandBox()
{
    setCursorSteady(false);
}

void CommandBox::followLength(const QString &text)
{
    setCursorSteady(text.size() > kSteadyCursorFrom);
}

void CommandBox::setCursorSteady(bool steady)
{
    if (steady == steady_)
        return;
    steady_ = steady;
    // The blink is the application's; this box is the only one the panel has.
    QStyleHints *hints = QGuiApplication::styleHints();
    if (steady) {
        blinkMs_ = hints->cursorFlashTime();
        hints->setCursorFlashTime(0);
    } else {
        hints->setCursorFlashTime(blinkMs_);
    }
}

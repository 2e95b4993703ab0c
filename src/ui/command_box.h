// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>

// The command box: the text SEND puts on the line. It takes up to kLimit characters; a paste or
// a key that would pass the limit is refused whole, with a note beside the box, as a command cut
// short would go out as if it were whole. The limit keeps typing quick: every key lays the whole
// text out again, some 35 ms for 100,000 characters and half a second for a million.
//
// Above kSteadyCursorFrom characters the cursor stops blinking: every blink repaints the whole
// text, which for a long one costs a share of a core while nothing else happens.
class CommandBox final : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int kLimit = 100000;
    static constexpr int kSteadyCursorFrom = 1000;

    explicit CommandBox(QWidget *parent = nullptr);
    ~CommandBox() override;

    bool cursorSteady() const { return steady_; }

private:
    void followLength(const QString &text);
    void setCursorSteady(bool steady);

    bool steady_ = false;
    int blinkMs_ = 0; // the platform's blink, to go back to
};

// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QStringList>

// A label of the panel: one line of plain text (never rich text) in its own colours. It paints
// only the part of its text that can be seen, so a very long line costs no more to show than a
// short one; text() still returns the whole line. Assistive technology reads the text as the
// label's name and is told of every change (accessibility.h).
class PanelLabel final : public QFrame
{
    Q_OBJECT
public:
    explicit PanelLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    // Adds characters at the end of the line, at the cost of those characters alone.
    void appendText(QStringView more);
    QString text() const { return text_; }
    // A label whose changes are news to the operator (the status line): screen readers speak
    // each new text.
    void setNews(bool on) { news_ = on; }
    bool isNews() const { return news_; }
    // Where a character is drawn, in the label's coordinates; empty for one past what can be
    // seen. The character drawn at a point, or -1.
    QRect characterRect(qsizetype offset) const;
    qsizetype characterAt(QPoint point) const;
    // Changes whenever the text does, so that a writer can tell whether the label still shows
    // what it wrote there last.
    qint64 revision() const { return revision_; }
    void setAlignment(Qt::Alignment a);
    Qt::Alignment alignment() const { return align_; }
    // A single black line around the label, whatever colour its text has.
    void setBorder(bool on);
    bool hasBorder() const { return border_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void announce();
    QString shownText() const;
    QRect textRect() const;
    int shownLeft(const QString &shown) const;

    QString text_;
    qint64 revision_ = 0;
    Qt::Alignment align_ = Qt::AlignLeft;
    bool border_ = false;
    bool news_ = false;
};

// A command button of the panel, drawn the same on every desktop: a flat face in the button's
// own palette colour (QPalette::Button) inside a raised bevel, the caption centred and, where one
// line is too narrow, wrapped onto more. A style's own button would tint or shade the colour.
class PanelButton final : public QPushButton
{
    Q_OBJECT
public:
    explicit PanelButton(const QString &caption, QWidget *parent = nullptr);

    // The caption as it is drawn, one entry per line.
    QStringList captionLines() const;
    // The distance between the baselines of a caption of that many lines, in pixels.
    int captionLineSpacing(int lineCount) const;
    // The part of the button the caption is drawn in: inside the bevel.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A frame of the panel: an untitled container with an etched border. As on a group box whose
// title is empty, the border runs half a line of the frame's font below the frame's top edge;
// the groups are placed with that in mind, and the traffic monitor relies on it to stay out of
// sight at the compact height.
class PanelFrame final : public QFrame
{
    Q_OBJECT
public:
    explicit PanelFrame(QWidget *parent = nullptr);

    // Distance from the frame's top edge to the top line of its border, in pixels.
    int borderTop() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// One of the panel's pictures (PNG, from its resources); a null pixmap when it cannot be read.
QPixmap readPicture(const QString &path);

// The picture at the top right, shown unscaled. Its double-click is an event of the window.
class PanelImage final : public QFrame
{
    Q_OBJECT
public:
    explicit PanelImage(QWidget *parent = nullptr);

    // Loads the picture and, when there is one, its twice-as-dense variant beside it
    // ("name@2x.png"), which is drawn wherever a logical pixel has more than one device pixel.
    void setPictureFile(const QString &path);
    // What a double-click does, for those who cannot double-click: assistive technology offers
    // it as the picture's action.
    void activate() { emit doubleClicked(); }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QPixmap picture_;
    QPixmap picture2x_;
};

// A decorative line on the window, drawn in the window's coordinates behind the controls and
// transparent to the mouse. Style: 1 solid, 2 dash, 3 dot, 6 inside solid (solid, for a line).
class DecorLine final : public QWidget
{
    Q_OBJECT
public:
    DecorLine(QWidget *parent, QPoint from, QPoint to, int style, QColor colour, int width);

    QPoint from() const { return from_ + pos(); }
    QPoint to() const { return to_ + pos(); }
    int style() const { return style_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint from_, to_;
    int style_;
    QColor colour_;
    int width_;
};

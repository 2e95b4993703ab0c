#pragma once

#include <QFrame>
#include <QPixmap>
#include <QString>

// A label of the panel: one line of plain text (never rich text) in its own colours. It paints
// only the part of its text that can be seen, so a very long line costs no more to show than a
// short one; text() still returns the whole line.
class PanelLabel final : public QFrame
{
    Q_OBJECT
public:
    explicit PanelLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return text_; }
    void setAlignment(Qt::Alignment a);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
    Qt::Alignment align_ = Qt::AlignLeft;
};

// The picture at the top right. Its double-click is an event of the window.
class PanelImage final : public QFrame
{
    Q_OBJECT
public:
    explicit PanelImage(QWidget *parent = nullptr);
    void setPictureFile(const QString &path);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QPixmap picture_;
};

// A decorative line on the window, drawn in the window's coordinates and transparent to the
// mouse.
class DecorLine final : public QWidget
{
    Q_OBJECT
public:
    DecorLine(QWidget *parent, QPoint from, QPoint to, int style);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPoint from_, to_;
    int style_;
};

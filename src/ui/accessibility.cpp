// SPDX-License-Identifier: MIT
#include "ui/accessibility.h"

#include "ui/panel_window.h"
#include "ui/widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace accessibility {
namespace {

// A label: its text is its name, and its text to read character by character; no caret, no
// selection, nothing to edit.
class LabelInterface final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LabelInterface(PanelLabel *label) : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QAccessible::Role role() const override
    {
        return label()->isNews() ? QAccessible::Notification : QAccessible::StaticText;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return label()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(int startOffset, int endOffset) const override
    {
        const QString all = label()->text();
        const qsizetype start = qBound(qsizetype(0), qsizetype(startOffset), all.size());
        const qsizetype end =
            endOffset < 0 ? all.size() : qBound(start, qsizetype(endOffset), all.size());
        return all.mid(start, end - start);
    }
    int characterCount() const override { return int(label()->text().size()); }

    QRect characterRect(int offset) const override
    {
        const QRect r = label()->characterRect(offset);
        return r.isEmpty() ? r : QRect(label()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return int(label()->characterAt(label()->mapFromGlobal(point)));
    }

    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    PanelLabel *label() const { return static_cast<PanelLabel *>(widget()); }
};

// The picture: its double-click opens the full window, which only a mouse can do; assistive
// technology gets it as the picture's press action.
class PictureInterface final : public QAccessibleWidget
{
public:
    explicit PictureInterface(PanelImage *picture)
        : QAccessibleWidget(picture, QAccessible::Graphic)
    {
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<PanelImage *>(widget())->activate();
        else
            QAccessibleWidget::doAction(action);
    }
};

// The decorative lines outline the menu pad for the eye only.
class DecorationInterface final : public QAccessibleWidget
{
public:
    explicit DecorationInterface(QWidget *line) : QAccessibleWidget(line, QAccessible::Graphic) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *panelInterface(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<PanelLabel *>(object))
        return new LabelInterface(label);
    if (auto *picture = qobject_cast<PanelImage *>(object))
        return new PictureInterface(picture);
    if (auto *frame = qobject_cast<PanelFrame *>(object))
        return new QAccessibleWidget(frame, QAccessible::Grouping);
    if (auto *line = qobject_cast<DecorLine *>(object))
        return new DecorationInterface(line);
    if (auto *window = qobject_cast<PanelWindow *>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

} // namespace

void install()
{
    QAccessible::installFactory(panelInterface);
}

} // namespace accessibility

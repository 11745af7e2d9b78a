#include "ValueBoard.h"

#include "widgets/AccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// The value is offered twice: as the Value text (what Windows reads) and as a
// read-only text (what AT-SPI clients on Linux read of a label; they never
// see the Value text of a label).
class ValueBoardAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ValueBoardAccessible(ValueBoard *board)
        : QAccessibleWidget(board, QAccessible::StaticText)
    {
    }

    ValueBoard *board() const { return static_cast<ValueBoard *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Read-only text without a cursor or selection.
    QString text(int startOffset, int endOffset) const override
    {
        return board()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(board()->text().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    int selectionCount() const override { return 0; }
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
            return board()->caption();
        case QAccessible::Value:
            return board()->text();
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (!board()->actionName().isEmpty())
            names.prepend(QAccessibleActionInterface::toggleAction());
        return names;
    }

    QString localizedActionDescription(const QString &action) const override
    {
        if (action == QAccessibleActionInterface::toggleAction()
            && !board()->actionName().isEmpty())
            return board()->actionName();
        return QAccessibleWidget::localizedActionDescription(action);
    }

    void doAction(const QString &action) override
    {
        if (action == QAccessibleActionInterface::toggleAction()
            && !board()->actionName().isEmpty()) {
            board()->activate();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

} // namespace

ValueBoard::ValueBoard(const QString &caption, QWidget *parent)
    : ValueBoard(caption, QString(), parent)
{
}

ValueBoard::ValueBoard(const QString &caption, const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    installAccessibleFactoryOnce<ValueBoard, ValueBoardAccessible>();
    setAccessibleName(caption);
}

void ValueBoard::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    const QString old = QLabel::text();
    QLabel::setText(text);
    // A text change, not a value change: AT-SPI sends value changes only
    // for widgets with a numeric range and warns about any other.
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(this, 0, old, text);
        QAccessible::updateAccessibility(&event);
    }
}

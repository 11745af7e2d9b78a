#include "ValueBoard.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

class ValueBoardAccessible : public QAccessibleWidget
{
public:
    explicit ValueBoardAccessible(ValueBoard *board)
        : QAccessibleWidget(board, QAccessible::StaticText)
    {
    }

    ValueBoard *board() const { return static_cast<ValueBoard *>(widget()); }

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

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ValueBoard") && object && object->isWidgetType())
        return new ValueBoardAccessible(static_cast<ValueBoard *>(object));
    return nullptr;
}

void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

ValueBoard::ValueBoard(const QString &caption, QWidget *parent)
    : ValueBoard(caption, QString(), parent)
{
}

ValueBoard::ValueBoard(const QString &caption, const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    installAccessibleFactoryOnce();
    setAccessibleName(caption);
}

void ValueBoard::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, text);
        QAccessible::updateAccessibility(&event);
    }
}

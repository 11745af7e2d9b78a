#pragma once

#include <QAccessible>

// Gives every widget of class Widget the accessible interface Accessible,
// which takes the widget in its constructor. Qt asks each installed factory
// once per widget, naming each class of the widget's hierarchy in turn.
template<typename Widget, typename Accessible>
QAccessibleInterface *accessibleInterfaceFor(const QString &className, QObject *object)
{
    if (className == QLatin1String(Widget::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new Accessible(static_cast<Widget *>(object));
    return nullptr;
}

// Installs that factory the first time a widget of the class is made.
template<typename Widget, typename Accessible>
void installAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleInterfaceFor<Widget, Accessible>);
        return true;
    }();
    Q_UNUSED(installed);
}

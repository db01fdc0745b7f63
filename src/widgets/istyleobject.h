#pragma once

#include <kdrawhelper.h>

#include <QObject>
#include <QString>
#include <QVariant>

// The theme class of a styled widget. Styled widgets answer
// qt_metacast("IStyleObject") with this part.
class IStyleObject
{
public:
    virtual QString themeClassName() const = 0;
    virtual void setThemeClassName(const QString &name) = 0;

protected:
    ~IStyleObject() = default;

    // The one implementation every styled widget forwards to.
    static QString themeClassNameOf(const QObject *widget)
    {
        return KDrawHelper::getObjectThemeClassName(widget, QString());
    }
    static void setThemeClassNameOf(QObject *widget, const QString &name)
    {
        widget->setProperty(KDrawHelper::ObjectThemeClassName, QVariant(name));
    }
};

Q_DECLARE_INTERFACE(IStyleObject, "IStyleObject")

#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Automation names: the dynamic property that UI automation (and tests) use
// to find a widget.
namespace KLiteUi {
inline constexpr char Prop_QtSpyName[] = "qtSpyName";

inline QString spyName(const QObject *object)
{
    return object ? object->property(Prop_QtSpyName).toString() : QString();
}

inline void setSpyName(QObject *object, const QString &name)
{
    object->setProperty(Prop_QtSpyName, name);
}

// The first descendant of `root` of type T whose automation name is `name`.
template<typename T = QObject *>
T findBySpyName(const QObject *root, const QString &name)
{
    const QList<T> candidates = root->findChildren<T>();
    for (T candidate : candidates) {
        if (spyName(candidate) == name)
            return candidate;
    }
    return nullptr;
}
}

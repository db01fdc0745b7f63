#pragma once

#include <QString>
#include <QStringList>

// Text the host keeps from a plug-in must own its characters: a literal of
// the plug-in points into its constant data, gone once it is unloaded, and a
// QString holding one crashes when it is destroyed after that.
inline QString ownedText(const QString &text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}

inline QStringList ownedText(const QStringList &list)
{
    QStringList copy;
    copy.reserve(list.size());
    for (const QString &text : list)
        copy.append(ownedText(text));
    return copy;
}

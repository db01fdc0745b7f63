#include "themestore.h"

#include "suiteconfig.h"

#include <QColor>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcTheme, "zentri.host.theme")

namespace {
const QString defaultSkin = QStringLiteral("default");
// Reference chains and inheritance are data: a loop in them must end.
constexpr int maxDepth = 16;

struct Skin
{
    QString base;
    QJsonObject classes;
};

const Skin *loadSkin(const QString &name)
{
    static QMutex mutex;
    static QHash<QString, Skin> skins;
    QMutexLocker locker(&mutex);
    auto it = skins.constFind(name);
    if (it != skins.constEnd())
        return &it.value();
    QFile file(QStringLiteral(":/zentrihost/themes/%1.json").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError)
        qCWarning(lcTheme) << "skin" << name << "is malformed:" << error.errorString();
    Skin skin;
    skin.base = root.value(QStringLiteral("base")).toString();
    skin.classes = root.value(QStringLiteral("classes")).toObject();
    return &skins.insert(name, skin).value();
}

QList<const Skin *> skinChain(const QString &first)
{
    QList<const Skin *> chain;
    QString name = first;
    while (!name.isEmpty() && chain.size() < maxDepth) {
        const Skin *skin = loadSkin(name);
        if (!skin || chain.contains(skin))
            break;
        chain.append(skin);
        name = skin->base;
    }
    return chain;
}

QJsonValue rawLookup(const QList<const Skin *> &chain, const QString &themeClass, const QString &property)
{
    QString current = themeClass;
    QStringList visited;
    while (!current.isEmpty() && !visited.contains(current) && visited.size() < maxDepth) {
        visited.append(current);
        QString inherits;
        for (const Skin *skin : chain) {
            const QJsonObject cls = skin->classes.value(current).toObject();
            const QJsonValue value = cls.value(property);
            if (!value.isUndefined())
                return value;
            if (inherits.isEmpty())
                inherits = cls.value(QStringLiteral("inherits")).toString();
        }
        current = inherits;
    }
    return QJsonValue(QJsonValue::Undefined);
}

QJsonValue resolveReferences(const QList<const Skin *> &chain, QJsonValue value)
{
    for (int depth = 0; depth < maxDepth; ++depth) {
        const QString text = value.toString();
        if (!value.isString() || !text.startsWith(QLatin1Char('@')))
            return value;
        const int slash = text.indexOf(QLatin1Char('/'));
        if (slash < 0)
            return QJsonValue(QJsonValue::Undefined);
        value = rawLookup(chain, text.mid(1, slash - 1), text.mid(slash + 1));
    }
    return QJsonValue(QJsonValue::Undefined);
}
}

namespace ThemeStore {

QStringList skinNames()
{
    return {defaultSkin, QStringLiteral("dark")};
}

bool hasSkin(const QString &skin)
{
    return skinNames().contains(skin);
}

QString activeSkin()
{
    const QString skin = SuiteConfig::value(QStringLiteral("theme/skin")).toString();
    return hasSkin(skin) ? skin : defaultSkin;
}

QJsonValue facet(const QString &themeClass, const QString &property, const QString &facetName, bool followSkin)
{
    const QList<const Skin *> chain = skinChain(followSkin ? activeSkin() : defaultSkin);
    QJsonValue value = resolveReferences(chain, rawLookup(chain, themeClass, property));
    // A facet may itself refer to a property that has facets.
    for (int depth = 0; depth < maxDepth && value.isObject(); ++depth) {
        const QJsonObject object = value.toObject();
        if (!object.contains(facetName))
            break;
        value = resolveReferences(chain, object.value(facetName));
    }
    return value;
}

QStringList stateSuffixes(QStyle::State state)
{
    QStringList suffixes;
    if (!(state & QStyle::State_Enabled)) {
        suffixes << QStringLiteral(":disabled");
    } else {
        if (state & (QStyle::State_Selected | QStyle::State_On))
            suffixes << QStringLiteral(":checked");
        if (state & QStyle::State_Sunken)
            suffixes << QStringLiteral(":pressed");
        if (state & QStyle::State_MouseOver)
            suffixes << QStringLiteral(":hover");
        if (state & QStyle::State_HasFocus)
            suffixes << QStringLiteral(":focus");
    }
    suffixes << QString();
    return suffixes;
}

QColor stateColor(const QString &themeClass, const QString &property, QStyle::State state)
{
    for (const QString &suffix : stateSuffixes(state)) {
        const QJsonValue value = facet(themeClass, property + suffix, QStringLiteral("color"));
        if (value.isString()) {
            const QColor color(value.toString());
            if (color.isValid())
                return color;
        }
    }
    return QColor();
}

}

#include "kfpccomb.h"

#include "suiteconfig.h"
#include "suitehome.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>

namespace {

// Watches cloudconfig.json (and its folder, since an editor or the cloud
// client may replace the file rather than write into it) and tells the
// feature-configuration service which configurations changed.
class CloudConfigWatch : public QObject
{
public:
    CloudConfigWatch(KFpccomb *comb, QObject *parent)
        : QObject(parent)
        , m_comb(comb)
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(200);
        connect(&m_settle, &QTimer::timeout, this, &CloudConfigWatch::compare);
        connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CloudConfigWatch::touched);
        connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CloudConfigWatch::touched);
    }

    // Follows the suite home (tests switch homes while running).
    void follow(const QString &path)
    {
        if (path == m_path)
            return;
        if (!m_watcher.files().isEmpty())
            m_watcher.removePaths(m_watcher.files());
        if (!m_watcher.directories().isEmpty())
            m_watcher.removePaths(m_watcher.directories());
        m_path = path;
        m_fpc = fpc();
        m_watcher.addPath(QFileInfo(path).absolutePath());
        if (QFileInfo::exists(path))
            m_watcher.addPath(path);
    }

private:
    static QJsonObject fpc() { return SuiteConfig::cloudConfig().value(QStringLiteral("fpc")).toObject(); }

    void touched()
    {
        // A replaced file drops out of the watch: take the new one in.
        if (QFileInfo::exists(m_path) && !m_watcher.files().contains(m_path))
            m_watcher.addPath(m_path);
        m_settle.start();
    }

    void compare()
    {
        const QJsonObject now = fpc();
        QStringList keys = now.keys() + m_fpc.keys();
        keys.removeDuplicates();
        const QJsonObject before = m_fpc;
        m_fpc = now;
        for (const QString &key : qAsConst(keys)) {
            if (before.value(key) == now.value(key))
                continue;
            const QStringList ids = key.split(QLatin1Char('/'));
            bool firstOk = false;
            bool idOk = false;
            const qlonglong first = ids.value(0).toLongLong(&firstOk);
            const qlonglong id = ids.value(1).toLongLong(&idOk);
            if (ids.size() == 2 && firstOk && idOk)
                emit m_comb->fpcCfgChange(first, id);
        }
    }

    KFpccomb *m_comb;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_path;
    QJsonObject m_fpc;
};

QPointer<CloudConfigWatch> s_watch;

}

KFpccomb::KFpccomb(QObject *parent)
    : QObject(parent)
{}

KFpccomb *KFpccomb::getInstance()
{
    if (!SuiteConfig::serviceEnabled(QStringLiteral("fpc")))
        return nullptr;
    static KFpccomb comb;
    // The watch lives with the application, so that it never outlives the
    // event loop that serves it.
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (!s_watch)
            s_watch = new CloudConfigWatch(&comb, app);
        s_watch->follow(SuiteHome::cloudConfigJson());
    }
    return &comb;
}

KFpcData KFpccomb::getData(qint64 id1, qint64 id2) const
{
    const QJsonObject fpc = SuiteConfig::cloudConfig().value(QStringLiteral("fpc")).toObject();
    const QJsonValue entry = fpc.value(QStringLiteral("%1/%2").arg(id1).arg(id2));
    if (!entry.isObject())
        return KFpcData();

    KFpcRecord record;
    const QJsonObject items = entry.toObject();
    for (auto it = items.constBegin(); it != items.constEnd(); ++it) {
        KFpcItem item;
        if (it.value().isDouble()) {
            item.type = KFpcItem::Number;
            item.number = it.value().toDouble();
        } else if (it.value().isBool()) {
            item.type = KFpcItem::Number;
            item.number = it.value().toBool() ? 1.0 : 0.0;
        } else if (it.value().isString()) {
            item.type = KFpcItem::String;
            item.text = it.value().toString();
        } else {
            continue;
        }
        record.items.insert(it.key(), item);
    }
    return KFpcData(new QList<KFpcRecord>{record});
}

#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

// A temporary suite home for one test: ZENTRI_HOME points at it while it
// lives, and the suite's launchers are the recording program, whose starts
// are read back with launches().
class TestSuiteHome
{
public:
    struct Launch
    {
        QString program;
        QStringList arguments;
    };
    struct HostRun
    {
        int exitCode = -1; // -1: still running after a minute
        QString output;
        QString errors;
        QList<QJsonObject> lines; // the output's lines as JSON
    };

    // `folderName` starts the name of the temporary folder (a user's name
    // with non-ASCII letters, say).
    explicit TestSuiteHome(const QString &folderName = QString());
    ~TestSuiteHome();
    TestSuiteHome(const TestSuiteHome &) = delete;
    TestSuiteHome &operator=(const TestSuiteHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const;

    // "group/key" values of suite.ini and common.ini.
    void setSuiteValue(const QString &key, const QVariant &value);
    QVariant suiteValue(const QString &key) const;
    void setCommonValue(const QString &key, const QVariant &value);
    QVariant commonValue(const QString &key, const QVariant &fallback = {}) const;
    bool hasCommonValue(const QString &key) const;
    void setCloudConfig(const QJsonObject &config);

    // Creates a folder (and its parents) inside the home; answers its absolute path.
    QString makeDir(const QString &relative) const;
    // Writes a file inside the home (folders made as needed); answers its absolute path.
    QString writeFile(const QString &relative, const QByteArray &content = QByteArray("x")) const;

    // Writes a backup copy of `document` saved at `savedAt` into `folder`
    // (relative to the home), named as the suite names them, with its
    // modification time set to `savedAt`; answers its absolute path.
    QString writeBackupCopy(const QString &folder, const QString &document, const QDateTime &savedAt,
                            const QByteArray &content = QByteArray("x")) const;

    // The messages of the plug-in's log, in order, without time and module.
    QStringList logMessages() const;
    void clearLog() const;
    // The processes started through the recording program, in order.
    QList<Launch> launches() const;
    static QString recorderPath();

    // Runs zentri-host on this home with `arguments`: with `script` as its
    // automation file unless it is empty, and `meanwhile` run once the host
    // has written its first answer.
    HostRun runHost(const QStringList &arguments, const QString &script = QString(),
                    const std::function<void()> &meanwhile = {}) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previousHome;
};

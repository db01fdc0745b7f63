// The six backup-file page methods, called with any argument map on a small
// real catalogue: two backup folders, copies of several types, a symbolic
// link to a file outside, a name that is not valid UTF-8 and files that are
// no backup copies. Whatever the page sends, nothing may crash, and no file
// that the catalogue does not list may leave the disk.
//
// Input: the first byte chooses the method; the rest is the argument map as
// JSON, where @B@, @S@ and @H@ stand for the backup folder, the earlier
// folder and the suite home. Text that is no JSON object is passed as every
// argument at once.
#include "api/arkivoapi.h"
#include "pagedispatch.h"

#include <kcoreapplication.h>
#include <kessjsapi.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &) {}
};

namespace {

const char *const methods[]
    = {"getBackupFileList", "openBackupFile", "openBackupGroup", "openBackupFolder", "delBackupFile", "delBackupGroup"};

struct Fixture
{
    QTemporaryDir home;
    QString backup, second, outside;
    QStringList copies;           // listed: may be deleted, and are put back
    QList<QByteArray> bystanders; // never listed: must stay (by their bytes)
    QString link, linkTarget;
    std::unique_ptr<QApplication> application;
    std::unique_ptr<KCoreApplication> hostApplication;
    std::unique_ptr<KEssJsApi> registry;
    UrlSink urls;
    QObject *handler = nullptr;
};

Fixture *fixture = nullptr;

QString copyName(const QString &document, const QString &stamp, const QString &extension)
{
    return QStringLiteral("%1.0123456789abcdef0123456789ABCDEF.%2.%3").arg(document, stamp, extension);
}

void writeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("backup copy") < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

// Puts back what earlier calls deleted, as it was.
void restoreCopies()
{
    for (const QString &path : qAsConst(fixture->copies)) {
        if (!QFileInfo::exists(path))
            writeFile(path);
    }
    if (!QFileInfo(fixture->link).isSymLink())
        QFile::link(fixture->linkTarget, fixture->link);
}

void writeFile(const QByteArray &path)
{
    FILE *file = std::fopen(path.constData(), "w");
    if (!file || std::fputs("not a listed copy", file) < 0 || std::fclose(file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.constData());
        std::abort();
    }
}

void checkBystanders(const char *method, const QByteArray &arguments)
{
    for (const QByteArray &path : qAsConst(fixture->bystanders)) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            std::fprintf(stderr, "%s with %s removed %s\n", method, arguments.constData(), path.constData());
            std::abort();
        }
    }
}

// Paths with NUL make Qt warn on every call; only worse news is shown.
void quietMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s:%d: %s\n", context.file ? context.file : "", context.line, qPrintable(message));
}

void setUp(int *argc, char ***argv)
{
    qInstallMessageHandler(quietMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    fixture = new Fixture;
    const QString home = fixture->home.path();
    qputenv("ZENTRI_HOME", QFile::encodeName(home));
    fixture->backup = home + QStringLiteral("/backup");
    fixture->second = home + QStringLiteral("/second");
    fixture->outside = home + QStringLiteral("/outside");
    for (const QString &folder :
         {fixture->backup, fixture->second, fixture->outside, home + QStringLiteral("/default")})
        QDir().mkpath(folder);
    {
        QSettings suite(home + QStringLiteral("/suite.ini"), QSettings::IniFormat);
        suite.setValue(QStringLiteral("backup/path"), fixture->backup);
        suite.setValue(QStringLiteral("backup/defaultPath"), home + QStringLiteral("/default"));
        // No launcher: opening answers false without starting a process.
        suite.setValue(QStringLiteral("paths/launchExe"), QString());
        suite.setValue(QStringLiteral("paths/compactLaunchExe"), QString());
        QSettings common(home + QStringLiteral("/common.ini"), QSettings::IniFormat);
        common.setValue(QStringLiteral("Backup/AutoRecoverFilePathHis"), QStringList{fixture->second});
    }

    const struct
    {
        const QString *folder;
        const char *document, *stamp, *extension;
    } copies[] = {
        {&fixture->backup, "report.docx", "20240305143007", "docx"},
        {&fixture->backup, "report.docx", "20240305150000123", "docx"},
        {&fixture->second, "report.docx", "20240305090000", "docx"},
        {&fixture->backup, "budget.xlsx", "20240306101010", "xlsx"},
        {&fixture->backup, "slides.pptx", "20240229235959", "pptx"},
        {&fixture->backup, "notes", "20231231000000", "pdf"},
        {&fixture->backup,
         "Bericht \xc3\xbc"
         "ber.docx",
         "20240305143007", "docx"},
    };
    for (const auto &copy : copies)
        fixture->copies.append(
            *copy.folder + QLatin1Char('/')
            + copyName(QString::fromUtf8(copy.document), QLatin1String(copy.stamp), QLatin1String(copy.extension)));
    fixture->linkTarget = fixture->outside + QStringLiteral("/target.docx");
    fixture->link = fixture->backup + QLatin1Char('/')
                    + copyName(QStringLiteral("linked.docx"), QStringLiteral("20240305120000"), QStringLiteral("docx"));
    const QByteArray encodedHome = QFile::encodeName(home);
    fixture->bystanders = {QFile::encodeName(fixture->linkTarget), encodedHome + "/outside/other.docx",
                           encodedHome + "/backup/notes.txt", encodedHome + "/backup/~$report.docx",
                           // Not UTF-8: its decoded text names no file.
                           encodedHome + "/backup/bad\xff.docx.0123456789abcdef0123456789ABCDEF.20240305143007.docx",
                           encodedHome + "/default/zentri_sync_conflict.ini"};
    for (const QByteArray &path : qAsConst(fixture->bystanders))
        writeFile(path);
    // The home goes when the fuzzer ends; QDir cannot name the file that is
    // not UTF-8, so it goes first, by its bytes.
    std::atexit([] {
        for (const QByteArray &path : qAsConst(fixture->bystanders))
            ::unlink(path.constData());
        fixture->home.remove();
    });
    QFile conflicts(home + QStringLiteral("/default/zentri_sync_conflict.ini"));
    if (conflicts.open(QIODevice::WriteOnly))
        conflicts.write(QStringLiteral("<c><file backup=\"%1\" conflictTime=\"2024-03-05T10:00:00\"/></c>")
                            .arg(fixture->copies.first().toUpper().toHtmlEscaped())
                            .toUtf8());
    restoreCopies();

    fixture->application = std::make_unique<QApplication>(*argc, *argv);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &fixture->urls, "open");
    fixture->hostApplication = std::make_unique<KCoreApplication>();
    fixture->registry = std::make_unique<KEssJsApi>();
    arkivoAPI::registerWith(fixture->registry.get());
    fixture->handler = fixture->registry->handles().first().first;
}

// The page's JSON as the framework hands it on: Qt values.
QVariant toVariant(const Json::Value &value)
{
    switch (value.type()) {
    case Json::booleanValue:
        return value.asBool();
    case Json::intValue:
        return QVariant::fromValue(value.asInt64());
    case Json::uintValue:
        return QVariant::fromValue(value.asUInt64());
    case Json::realValue:
        return value.asDouble();
    case Json::stringValue:
        return QString::fromStdString(value.asString());
    case Json::arrayValue: {
        QVariantList list;
        for (const Json::Value &item : value)
            list.append(toVariant(item));
        return list;
    }
    case Json::objectValue: {
        QVariantMap map;
        for (auto it = value.begin(); it != value.end(); ++it)
            map.insert(QString::fromStdString(it.name()), toVariant(*it));
        return map;
    }
    case Json::nullValue:
        break;
    }
    return QVariant();
}

// Parsed with jsoncpp: Qt 5.15's JSON parser leaks on some malformed texts,
// which would be reported here as findings of ours.
QVariantMap argumentsOf(QByteArray text)
{
    text.replace("@B@", QFile::encodeName(fixture->backup));
    text.replace("@S@", QFile::encodeName(fixture->second));
    text.replace("@H@", QFile::encodeName(fixture->home.path()));
    static const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    Json::Value document;
    if (reader->parse(text.constData(), text.constData() + text.size(), &document, nullptr) && document.isObject())
        return toVariant(document).toMap();
    const QString value = QString::fromUtf8(text);
    return {{QStringLiteral("backupFile"), value},
            {QStringLiteral("fileName"), value},
            {QStringLiteral("saveDate"), value}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static int calls = 0;
    if (++calls % 256 == 0)
        QFile::remove(fixture->home.filePath(QStringLiteral("logs/arkivo.log")));

    const char *method = methods[data[0] % 6];
    const QByteArray text(reinterpret_cast<const char *>(data + 1), int(size - 1));
    restoreCopies();
    Json::Value answer;
    PageDispatch::call(fixture->handler, QStringLiteral("getBackupFileList"), {}, &answer);
    answer = Json::Value();
    PageDispatch::call(fixture->handler, QString::fromLatin1(method), argumentsOf(text), &answer);
    if (!answer["result"].isBool()) {
        std::fprintf(stderr, "%s answered without a result\n", method);
        std::abort();
    }
    checkBystanders(method, text);
    return 0;
}

#include "fuzz_backupfileapi.moc"

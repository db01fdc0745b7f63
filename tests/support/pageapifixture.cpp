#include "pageapifixture.h"

#include "api/arkivoapi.h"
#include "pagedispatch.h"
#include "plugin/arkivoapplication.h"

#include <QDesktopServices>
#include <QFile>
#include <QJsonDocument>

PageApiFixture::PageApiFixture(QWidget *hostWidget)
    : hostApp(std::make_unique<KCoreApplication>())
    , registry(std::make_unique<KEssJsApi>())
{
    registry->jsObject()->webViewContainer()->setHostWidget(hostWidget);
    // Uploads finish at once unless a test slows them.
    home.setSuiteValue(QStringLiteral("cloud/uploadBytesPerSecond"), 0);
    reopen();
}

PageApiFixture::~PageApiFixture()
{
    registry.reset();
    hostApp.reset();
    arkivoApplication::instance().waitForBackgroundTasks();
    arkivoApplication::instance().setContainer(nullptr);
}

void PageApiFixture::reopen()
{
    registry->tearDown();
    arkivoAPI::registerWith(registry.get());
    handler = registry->handles().last().first;
}

Json::Value PageApiFixture::call(const QString &method, const QVariantMap &arguments) const
{
    Json::Value answer;
    const PageDispatch::Status status = PageDispatch::call(handler, method, arguments, &answer);
    if (status != PageDispatch::Status::Ok)
        qWarning("%s", qPrintable(PageDispatch::describe(status, method)));
    return answer;
}

QString PageApiFixture::text(const Json::Value &answer)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return QString::fromStdString(Json::writeString(builder, answer));
}

QJsonObject eventObject(const QList<QVariant> &signalArguments)
{
    return QJsonDocument::fromJson(signalArguments.value(1).toString().toUtf8()).object();
}

QList<QJsonObject> jsonLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            lines.append(QJsonDocument::fromJson(file.readLine()).object());
    }
    return lines;
}

QList<QJsonObject> usageEvents(const TestSuiteHome &home)
{
    return jsonLines(home.filePath(QStringLiteral("usage.jsonl")));
}

UrlCatcher::UrlCatcher(const QStringList &schemes)
    : m_schemes(schemes)
{
    for (const QString &scheme : m_schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    for (const QString &scheme : m_schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

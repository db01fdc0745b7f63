#include "callcommand.h"

#include "hostoptions.h"
#include "hostsession.h"
#include "pagedispatch.h"

#include <kessjsapi.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <iostream>
#include <memory>

namespace {

struct Step
{
    QString method;        // empty for a pause
    QVariantMap arguments;
    int pauseMs = 0;
};

QVector<Step> parseSteps(const QStringList &words)
{
    QVector<Step> steps;
    for (const QString &word : words) {
        if (word.startsWith(QLatin1Char('{'))) {
            if (steps.isEmpty() || steps.last().method.isEmpty())
                exitWithError(QStringLiteral("arguments without a method: %1").arg(word));
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(word.toUtf8(), &error);
            if (error.error != QJsonParseError::NoError || !document.isObject())
                exitWithError(QStringLiteral("the arguments of %1 are not a JSON object").arg(steps.last().method));
            steps.last().arguments = document.object().toVariantMap();
        } else if (word.startsWith(QLatin1String("wait:"))) {
            Step pause;
            pause.pauseMs = parseMilliseconds(word.mid(5), QStringLiteral("wait:"));
            steps.append(pause);
        } else {
            if (!PageDispatch::isPageMethod(word))
                exitWithError(PageDispatch::describe(PageDispatch::Status::UnknownMethod, word));
            Step step;
            step.method = word;
            steps.append(step);
        }
    }
    if (steps.isEmpty())
        exitWithError(QStringLiteral("call needs a page method"));
    return steps;
}

std::string toLine(const Json::Value &value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

Json::Value parsePayload(const QString &text)
{
    Json::Value payload;
    const QByteArray bytes = text.toUtf8();
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(bytes.constData(), bytes.constData() + bytes.size(), &payload, nullptr))
        payload = Json::Value(bytes.toStdString());
    return payload;
}

}

int runCallCommand(const HostOptions &options)
{
    const QVector<Step> steps = parseSteps(options.commandWords);

    HostSession session;
    QString error;
    if (!session.start(options.plugin.isEmpty() ? HostSession::defaultPluginPath() : options.plugin, &error))
        exitWithError(error, 1);
    // Every method is checked before the first one runs: nothing is done half.
    for (const Step &step : steps) {
        if (step.method.isEmpty())
            continue;
        const PageDispatch::Status status = PageDispatch::check(session.handler(), step.method);
        if (status != PageDispatch::Status::Ok)
            exitWithError(PageDispatch::describe(status, step.method));
    }

    for (const Step &step : steps) {
        if (step.method.isEmpty()) {
            HostSession::runEventLoop(step.pauseMs);
            continue;
        }
        Json::Value line(Json::objectValue);
        line["method"] = step.method.toStdString();
        PageDispatch::call(session.handler(), step.method, step.arguments, &line["answer"]);
        session.waitForReplies(options.waitMs);
        Json::Value events(Json::arrayValue);
        for (const HostSession::Event &event : session.takeEvents()) {
            Json::Value entry(Json::objectValue);
            entry["name"] = event.name.toStdString();
            entry["payload"] = parsePayload(event.payload);
            events.append(entry);
        }
        line["events"] = events;
        std::cout << toLine(line) << std::endl;
    }
    return 0;
}

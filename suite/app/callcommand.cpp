#include "callcommand.h"

#include "automation.h"
#include "hostoptions.h"
#include "hostsession.h"
#include "jsonline.h"
#include "pagedispatch.h"

#include <kessjsapi.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

constexpr int automationFailedCode = 3;

std::unique_ptr<Automation> loadAutomation(const QString &fileName)
{
    if (fileName.isEmpty())
        return nullptr;
    QVector<Automation::Step> steps;
    QString error;
    if (!Automation::load(fileName, &steps, &error))
        exitWithError(error);
    // Native pickers cannot be driven; Qt's own can.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return std::make_unique<Automation>(steps);
}

struct Step
{
    QString method; // empty for a pause
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

int runCallCommand(const HostOptions &options, const QCommandLineParser &)
{
    const QVector<Step> steps = parseSteps(options.commandWords);
    const std::unique_ptr<Automation> automation = loadAutomation(options.automationFile);

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

    if (automation) {
        QObject::connect(automation.get(), &Automation::failed, [](const QString &message) {
            std::fprintf(stderr, "zentri-host: %s\n", qPrintable(message));
        });
        // After the last step the method must return: a window the steps
        // left open would hold it forever.
        automation->setWaitForWindowsToClose(true);
        automation->start();
    }

    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps.at(i);
        if (step.method.isEmpty()) {
            HostSession::runEventLoop(step.pauseMs);
            continue;
        }
        Json::Value line(Json::objectValue);
        line["method"] = step.method.toStdString();
        PageDispatch::call(session.handler(), step.method, step.arguments, &line["answer"]);
        if (automation && automation->hasFailed())
            return automationFailedCode;
        // The last line waits for every step to have run.
        if (automation && i == steps.size() - 1 && !automation->waitForDone())
            return automationFailedCode;
        session.waitForReplies(options.waitMs);
        Json::Value events(Json::arrayValue);
        for (const HostSession::Event &event : session.takeEvents()) {
            Json::Value entry(Json::objectValue);
            entry["name"] = event.name.toStdString();
            entry["payload"] = parsePayload(event.payload);
            events.append(entry);
        }
        line["events"] = events;
        writeJsonLine(std::cout, line);
    }
    return 0;
}

}

HostCommand callCommand()
{
    return {QStringLiteral("call"),
            QStringLiteral("call METHOD [ARGS-JSON] [wait:MS] [METHOD [ARGS-JSON]]..."),
            QStringLiteral("Calls page methods in order on one script object, each with its JSON object of "
                           "arguments, and prints one JSON line per call (answer, events, method); wait:MS runs "
                           "the event loop between two calls."),
            {},
            runCallCommand};
}

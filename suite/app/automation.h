#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QWidget;

// Drives the application's own windows as a person would, one step after
// the other, so that flows with modal windows run headless (tests and
// zentri-host --automation). A script holds one step per line:
//
//   click TARGET               a mouse click on the target
//   type TARGET TEXT           focus the field, select all, type TEXT, leave it
//   key KEY                    Escape, Return or Enter to the active window
//   choose-dir PATH            answer the open folder picker
//   choose-files PATH|PATH...  answer the open file picker
//   save-as PATH               answer the save dialog (and confirm replacing)
//
// TARGET is an automation name or "text:LABEL" (a button showing LABEL).
// Empty lines and lines starting with "#" are skipped. Each step waits for
// its target to be shown, the active modal window searched first, then every
// visible window; a target that does not appear in time fails the run.
//
// Steps run from the event loop, so they reach the modal windows that the
// code under test opens with exec(): start() the automation, then run the
// code. A step that opens a modal window returns only when it closes; the
// next steps run meanwhile.
class Automation : public QObject
{
    Q_OBJECT
public:
    enum class Action { Click, Type, Key, ChooseDir, ChooseFiles, SaveAs, Custom };

    struct Step
    {
        Action action = Action::Click;
        // An automation name, or "text:LABEL".
        QString target;
        // Type: the text; Key: the key name.
        QString text;
        // ChooseDir, ChooseFiles and SaveAs.
        QStringList paths;
        // Custom steps (in-process users): the target is the active modal
        // window inheriting `windowClass` (any class when empty), unless
        // `target` names one.
        QString windowClass;
        std::function<void(QWidget *)> run;
        // Where the step came from, for messages.
        QString source;
    };

    static constexpr int defaultStepTimeoutMs = 5000;

    // False with a message naming the line when a line is not a step.
    static bool parse(const QString &script, QVector<Step> *steps, QString *error);
    static bool load(const QString &fileName, QVector<Step> *steps, QString *error);
    static Step customStep(const QString &description, const QString &windowClass, std::function<void(QWidget *)> run);

    explicit Automation(const QVector<Step> &steps, QObject *parent = nullptr);
    ~Automation() override;

    void setStepTimeout(int ms) { m_stepTimeoutMs = ms; }
    // The code under test must close its modal windows itself: the run is
    // finished once none is open after the last step, and a modal window
    // open for longer than the step timeout from then on fails the run
    // (abandon() then closes it, so a stuck window fails instead of hanging).
    void setWaitForWindowsToClose(bool wait) { m_waitForWindowsToClose = wait; }
    void start();

    bool isDone() const { return m_done; }
    bool hasFailed() const { return !m_failure.isEmpty(); }
    QString failure() const { return m_failure; }
    int stepsRun() const { return m_next; }

    // Runs the event loop until every step has run or the run failed.
    // True when every step has run.
    bool waitForDone();

    // Ends the run as failed with `message`: the modal windows left open are
    // closed so that the code waiting in them returns.
    void abandon(const QString &message);

    // The widget a step would act on now, or null.
    static QWidget *findTarget(const Step &step);

signals:
    void finished();
    void failed(const QString &message);

private:
    void tick();
    void watchWindowsAfterTheLastStep();
    void perform(const Step &step, QWidget *target);
    void closeModalWindows();

    QVector<Step> m_steps;
    int m_next = 0;
    bool m_actionQueued = false;
    bool m_done = false;
    QString m_failure;
    int m_stepTimeoutMs = defaultStepTimeoutMs;
    bool m_waitForWindowsToClose = false;
    QTimer m_timer;
    QElapsedTimer m_waiting;
    QElapsedTimer m_modalOpen;
};

#include "automation.h"

#include <kliteui.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRadioButton>

#include <memory>

namespace {

const QString textPrefix = QStringLiteral("text:");
// How long a failed run keeps closing the modal windows it left open.
constexpr int closeModalsTicks = 200;
constexpr int tickMs = 20;

QString withoutMnemonics(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain.append(text.at(i));
    }
    return plain;
}

bool matches(QWidget *widget, const QString &target)
{
    if (target.startsWith(textPrefix)) {
        auto *button = qobject_cast<QAbstractButton *>(widget);
        return button && withoutMnemonics(button->text()) == target.mid(textPrefix.size());
    }
    return KLiteUi::spyName(widget) == target;
}

// The active modal window first, then every visible window.
QList<QWidget *> searchOrder()
{
    QList<QWidget *> windows;
    if (QWidget *modal = QApplication::activeModalWidget())
        windows.append(modal);
    const QList<QWidget *> topLevels = QApplication::topLevelWidgets();
    for (QWidget *window : topLevels) {
        if (window->isVisible() && !windows.contains(window))
            windows.append(window);
    }
    return windows;
}

QWidget *findShown(const std::function<bool(QWidget *)> &accept)
{
    const QList<QWidget *> windows = searchOrder();
    for (QWidget *window : windows) {
        if (accept(window))
            return window;
        const QList<QWidget *> children = window->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (child->isVisible() && accept(child))
                return child;
        }
    }
    return nullptr;
}

enum class Picker { Folder, OpenFiles, Save };

QFileDialog *findFileDialog(Picker picker)
{
    return qobject_cast<QFileDialog *>(findShown([picker](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        if (!dialog || !dialog->isWindow())
            return false;
        if (dialog->acceptMode() == QFileDialog::AcceptSave)
            return picker == Picker::Save;
        // A folder picker that shows folders only reports that as an option.
        const bool picksFolders
            = dialog->fileMode() == QFileDialog::Directory || dialog->testOption(QFileDialog::ShowDirsOnly);
        return picksFolders == (picker == Picker::Folder);
    }));
}

void activate(QWidget *widget)
{
    QWidget *window = widget->window();
    if (QApplication::activeWindow() != window) {
        window->activateWindow();
        QApplication::setActiveWindow(window);
    }
}

void sendMouseClick(QWidget *widget)
{
    QPoint point = widget->rect().center();
    // A person clicks a radio button or check box on its indicator, which sits
    // at the left of a row that may be much wider than its text.
    if (qobject_cast<QRadioButton *>(widget) || qobject_cast<QCheckBox *>(widget))
        point.setX(qMin(8, widget->width() / 2));
    const QPointF local(point);
    const QPointF windowPos(widget->mapTo(widget->window(), point));
    const QPointF screenPos(widget->mapToGlobal(point));
    QMouseEvent press(QEvent::MouseButtonPress, local, windowPos, screenPos, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QPointer<QWidget> guard(widget);
    QApplication::sendEvent(widget, &press);
    if (!guard)
        return;
    QMouseEvent release(QEvent::MouseButtonRelease, local, windowPos, screenPos, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void sendKey(QWidget *receiver, int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QPointer<QWidget> guard(receiver);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(receiver, &press);
    if (!guard)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(receiver, &release);
}

void typeCharacter(QWidget *receiver, QChar character)
{
    const ushort code = character.unicode();
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    int key = Qt::Key_unknown;
    // Qt's key codes of printable ASCII are the upper-case characters.
    if (code >= 0x20 && code < 0x7f) {
        key = character.toUpper().unicode();
        if (character.isUpper())
            modifiers = Qt::ShiftModifier;
    }
    sendKey(receiver, key, modifiers, QString(character));
}

void typeInto(QWidget *field, const QString &text)
{
    activate(field);
    field->setFocus(Qt::MouseFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        edit->selectAll();
    else if (auto *spinBox = qobject_cast<QAbstractSpinBox *>(field))
        spinBox->selectAll();
    else
        sendKey(field, Qt::Key_A, Qt::ControlModifier, QString());
    QWidget *receiver = QApplication::focusWidget() ? QApplication::focusWidget() : field;
    // Typing nothing over a selection means deleting it.
    if (text.isEmpty())
        sendKey(receiver, Qt::Key_Backspace, Qt::NoModifier, QString());
    for (const QChar character : text)
        typeCharacter(receiver, character);
    // Leaving the field is what finishes the editing.
    field->clearFocus();
}

void pressKey(QWidget *window, const QString &name)
{
    activate(window);
    QWidget *receiver = window->focusWidget() ? window->focusWidget() : window;
    if (name == QLatin1String("Escape"))
        sendKey(receiver, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    else if (name == QLatin1String("Return"))
        sendKey(receiver, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    else
        sendKey(receiver, Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"));
}

// Answers Yes to the question the file dialog is about to ask from within
// its accept(): the question runs its own event loop, in which this fires.
void confirmReplacing(QFileDialog *dialog, int triesLeft = 50)
{
    QTimer::singleShot(10, dialog, [dialog, triesLeft] {
        auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (question && question->parentWidget() == dialog) {
            if (QAbstractButton *yes = question->button(QMessageBox::Yes))
                yes->click();
        } else if (triesLeft > 0) {
            confirmReplacing(dialog, triesLeft - 1);
        }
    });
}

void answerFileDialog(QFileDialog *dialog, const QStringList &paths)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return;
    activate(dialog);
    if (paths.size() == 1) {
        edit->setText(paths.first());
    } else {
        QStringList quoted;
        for (const QString &path : paths)
            quoted.append(QLatin1Char('"') + path + QLatin1Char('"'));
        edit->setText(quoted.join(QLatin1Char(' ')));
    }
    // A save dialog asks before it replaces a file; the step answers yes.
    if (dialog->acceptMode() == QFileDialog::AcceptSave && QFileInfo::exists(paths.first()))
        confirmReplacing(dialog);
    // What the dialog's Open, Choose or Save button does, with the same checks.
    static_cast<QDialog *>(dialog)->accept();
}

QString describeTarget(const Automation::Step &step)
{
    switch (step.action) {
    case Automation::Action::Key:
        return QStringLiteral("an active window");
    case Automation::Action::ChooseDir:
        return QStringLiteral("a folder picker");
    case Automation::Action::ChooseFiles:
        return QStringLiteral("a file picker");
    case Automation::Action::SaveAs:
        return QStringLiteral("a save dialog");
    case Automation::Action::Custom:
        if (step.target.isEmpty())
            return step.windowClass.isEmpty() ? QStringLiteral("a modal window")
                                              : QStringLiteral("a modal %1").arg(step.windowClass);
        break;
    default:
        break;
    }
    return QLatin1Char('"') + step.target + QLatin1Char('"');
}

}

bool Automation::parse(const QString &script, QVector<Step> *steps, QString *error)
{
    QVector<Step> parsed;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        const int space = trimmed.indexOf(QLatin1Char(' '));
        const QString verb = space < 0 ? trimmed : trimmed.left(space);
        const QString rest = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
        auto invalid = [&](const QString &why) {
            if (error)
                *error = QStringLiteral("automation line %1 (%2): %3").arg(i + 1).arg(trimmed, why);
            return false;
        };

        Step step;
        step.source = QStringLiteral("line %1: %2").arg(i + 1).arg(trimmed);
        if (verb == QLatin1String("click")) {
            step.action = Action::Click;
            step.target = rest;
        } else if (verb == QLatin1String("type")) {
            step.action = Action::Type;
            // The text is everything after the target and one space, spaces
            // included; no text means clearing the field.
            const int end = rest.indexOf(QLatin1Char(' '));
            step.target = end < 0 ? rest : rest.left(end);
            if (end >= 0) {
                const int targetAt = line.indexOf(step.target, line.indexOf(verb) + verb.size());
                step.text = line.mid(targetAt + step.target.size() + 1);
            }
        } else if (verb == QLatin1String("key")) {
            step.action = Action::Key;
            step.text = rest;
            if (rest != QLatin1String("Escape") && rest != QLatin1String("Return") && rest != QLatin1String("Enter"))
                return invalid(QStringLiteral("the key is Escape, Return or Enter"));
        } else if (verb == QLatin1String("choose-dir")) {
            step.action = Action::ChooseDir;
            if (!rest.isEmpty())
                step.paths = QStringList{rest};
        } else if (verb == QLatin1String("choose-files")) {
            step.action = Action::ChooseFiles;
            for (const QString &path : rest.split(QLatin1Char('|'))) {
                if (!path.trimmed().isEmpty())
                    step.paths.append(path.trimmed());
            }
        } else if (verb == QLatin1String("save-as")) {
            step.action = Action::SaveAs;
            if (!rest.isEmpty())
                step.paths = QStringList{rest};
        } else {
            return invalid(QStringLiteral("unknown step \"%1\"").arg(verb));
        }
        if ((step.action == Action::Click || step.action == Action::Type) && step.target.isEmpty())
            return invalid(QStringLiteral("%1 needs a target").arg(verb));
        if ((step.action == Action::ChooseDir || step.action == Action::ChooseFiles || step.action == Action::SaveAs)
            && step.paths.isEmpty())
            return invalid(QStringLiteral("%1 needs a path").arg(verb));
        parsed.append(step);
    }
    *steps = parsed;
    return true;
}

bool Automation::load(const QString &fileName, QVector<Step> *steps, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("cannot read the automation file %1").arg(fileName);
        return false;
    }
    return parse(QString::fromUtf8(file.readAll()), steps, error);
}

Automation::Step Automation::customStep(const QString &description, const QString &windowClass,
                                        std::function<void(QWidget *)> run)
{
    Step step;
    step.action = Action::Custom;
    step.windowClass = windowClass;
    step.run = std::move(run);
    step.source = description;
    return step;
}

Automation::Automation(const QVector<Step> &steps, QObject *parent)
    : QObject(parent)
    , m_steps(steps)
{
    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, &Automation::tick);
}

Automation::~Automation() = default;

void Automation::start()
{
    m_waiting.start();
    m_timer.start();
}

bool Automation::waitForDone()
{
    if (!m_done) {
        QEventLoop loop;
        connect(this, &Automation::finished, &loop, &QEventLoop::quit);
        connect(this, &Automation::failed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !hasFailed();
}

QWidget *Automation::findTarget(const Step &step)
{
    switch (step.action) {
    case Action::Click:
    case Action::Type:
        return findShown([&step](QWidget *widget) { return matches(widget, step.target); });
    case Action::Key:
        if (QWidget *modal = QApplication::activeModalWidget())
            return modal;
        return QApplication::activeWindow() && QApplication::activeWindow()->isVisible() ? QApplication::activeWindow()
                                                                                         : nullptr;
    case Action::ChooseDir:
        return findFileDialog(Picker::Folder);
    case Action::ChooseFiles:
        return findFileDialog(Picker::OpenFiles);
    case Action::SaveAs:
        return findFileDialog(Picker::Save);
    case Action::Custom:
        if (!step.target.isEmpty())
            return findShown([&step](QWidget *widget) { return matches(widget, step.target); });
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (step.windowClass.isEmpty() || modal->inherits(step.windowClass.toLatin1().constData()))
                return modal;
        }
        return nullptr;
    }
    return nullptr;
}

void Automation::tick()
{
    if (hasFailed() || m_actionQueued)
        return;
    if (m_next >= m_steps.size()) {
        watchWindowsAfterTheLastStep();
        return;
    }
    const Step &step = m_steps.at(m_next);
    if (!findTarget(step)) {
        if (m_waiting.elapsed() > m_stepTimeoutMs) {
            abandon(QStringLiteral("automation step %1 (%2): %3 was not shown within %4 s")
                        .arg(m_next + 1)
                        .arg(step.source, describeTarget(step))
                        .arg(m_stepTimeoutMs / 1000.0));
        }
        return;
    }
    // The action runs from a timer of its own: when it opens a modal window,
    // this ticking timer keeps running inside that window's event loop.
    m_actionQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_actionQueued = false;
        if (m_done)
            return;
        const Step step = m_steps.at(m_next);
        QWidget *target = findTarget(step);
        if (!target)
            return;
        ++m_next;
        m_waiting.restart();
        perform(step, target);
    });
}

void Automation::watchWindowsAfterTheLastStep()
{
    if (m_waitForWindowsToClose && QApplication::activeModalWidget()) {
        if (!m_modalOpen.isValid())
            m_modalOpen.start();
        else if (m_modalOpen.elapsed() > m_stepTimeoutMs)
            abandon(QStringLiteral("automation ended with a window still open"));
        return;
    }
    m_modalOpen.invalidate();
    if (!m_waitForWindowsToClose)
        m_timer.stop();
    if (!m_done) {
        m_done = true;
        emit finished();
    }
}

void Automation::perform(const Step &step, QWidget *target)
{
    switch (step.action) {
    case Action::Click:
        activate(target);
        sendMouseClick(target);
        break;
    case Action::Type:
        typeInto(target, step.text);
        break;
    case Action::Key:
        pressKey(target, step.text);
        break;
    case Action::ChooseDir:
    case Action::ChooseFiles:
    case Action::SaveAs:
        answerFileDialog(qobject_cast<QFileDialog *>(target), step.paths);
        break;
    case Action::Custom:
        if (step.run)
            step.run(target);
        break;
    }
}

void Automation::abandon(const QString &message)
{
    if (hasFailed())
        return;
    m_failure = message;
    m_done = true;
    m_timer.stop();
    emit failed(message);
    closeModalWindows();
}

void Automation::closeModalWindows()
{
    // The code under test waits in the modal windows it opened; closing them
    // lets it return. Closing one may open the next (a picker after an error
    // box), so this goes on until none is left.
    auto *closer = new QTimer(this);
    closer->setInterval(tickMs);
    auto ticks = std::make_shared<int>(0);
    connect(closer, &QTimer::timeout, this, [closer, ticks] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || ++*ticks > closeModalsTicks) {
            closer->deleteLater();
            return;
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    });
    closer->start();
}

#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>

// Ends a modal exec() from inside its event loop: as soon as a modal widget
// is active, `action` runs on it (clicks, key presses). A dialog that the
// action leaves open is ended with `stuckResult`, so a broken dialog fails
// its test instead of hanging it.
class ModalDriver : public QObject
{
public:
    static constexpr int stuckResult = -9999;

    explicit ModalDriver(std::function<void(QWidget *)> action)
        : m_action(std::move(action))
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
    }

    bool ran() const { return m_ran; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (m_ran) {
            m_timer.stop();
            if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog == m_target)
                dialog->done(stuckResult);
            return;
        }
        m_ran = true;
        m_target = modal;
        m_action(modal);
    }

    std::function<void(QWidget *)> m_action;
    QTimer m_timer;
    QPointer<QWidget> m_target;
    bool m_ran = false;
};

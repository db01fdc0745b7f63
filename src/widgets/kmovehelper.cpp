#include "kmovehelper.h"

#include <QMouseEvent>
#include <QWidget>

namespace styleui {

KMoveHelper::KMoveHelper(QWidget *watched, QWidget *target, QWidget *dragArea)
    : QObject(watched)
    , m_target(target)
    , m_dragArea(dragArea)
{
    if (watched) {
        watched->installEventFilter(this);
        watched->setMouseTracking(true);
    }
}

KMoveHelper::~KMoveHelper() = default;

bool KMoveHelper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != parent())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_dragArea) {
            const QRect area(m_dragArea->mapToGlobal(QPoint(0, 0)), m_dragArea->size());
            if (area.contains(mouse->globalPos())) {
                m_pressed = true;
                m_pressPos = mouse->pos();
            }
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            m_pressPos = QPoint(0, 0);
            m_pressed = false;
        }
        return true;
    case QEvent::MouseMove:
        if (m_pressed) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (m_target)
                m_target->move(mouse->globalPos() - m_pressPos);
            emit move(mouse->pos() - m_pressPos);
        }
        return true;
    default:
        return false;
    }
}

}

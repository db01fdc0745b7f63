#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace styleui {

// Lets a frameless window be dragged by one region: filters the mouse events
// of the watched widget (its parent) and moves `target` while the left button
// is held after a press inside `dragArea`.
class KMoveHelper : public QObject
{
    Q_OBJECT
public:
    KMoveHelper(QWidget *watched, QWidget *target, QWidget *dragArea);
    ~KMoveHelper() override;

    bool isDragging() const { return m_pressed; }

signals:
    // Each drag step: the pointer's position in the watched widget minus the
    // press position.
    void move(QPoint delta);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_pressed = false;
    QPoint m_pressPos;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_dragArea;
};

}

#pragma once

#include "zentrihost_global.h"

#include <QDialog>

class KDButton;
class KDLabel;
class KLiteBoxShadow;
class QHBoxLayout;
class QVBoxLayout;

// A themed modal dialog: a bold title, one content widget and up to three
// standard buttons, right-aligned in type order. exec() returns the result
// set for the pressed button; Esc and the window's close return the Esc result.
class ZENTRIHOST_EXPORT KDContentDlg : public QDialog
{
    Q_OBJECT
public:
    enum ButtonType {
        OkButton = 0, // accent style, the default button
        OtherButton = 1,
        CancelButton = 2,
    };

    // With `frameless` the dialog draws its own frame and shadow and is dragged
    // by its title; otherwise it has the system's window frame.
    explicit KDContentDlg(const QString &title, QWidget *parent = nullptr, bool frameless = false);
    ~KDContentDlg() override;

    // The dialog takes ownership; a previous content widget is deleted.
    void setContentWidget(QWidget *widget);
    QWidget *contentWidget() const;

    // A button shows once it has a text. Its automation name is "%1Btn%2"
    // with the dialog's automation name and the button type.
    void setButtonText(int type, const QString &text);
    void setButtonResult(int type, int result);
    void setEscResult(int result);
    KDButton *button(int type) const;

public slots:
    void reject() override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void nameButtons();

    static constexpr int ButtonCount = 3;
    KLiteBoxShadow *m_shadow = nullptr;
    QVBoxLayout *m_layout;
    KDLabel *m_title;
    QWidget *m_content = nullptr;
    QHBoxLayout *m_buttonRow;
    KDButton *m_buttons[ButtonCount] = {};
    int m_results[ButtonCount] = {1, 2, 0};
    int m_escResult = 0;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

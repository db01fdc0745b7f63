#pragma once

#include "istyleobject.h"

#include <QAbstractButton>

class QStyleOption;

// A button painted entirely from its theme class: themed background, then
// icon and text centred side by side.
class KStyleButton : public QAbstractButton, public IStyleObject
{
    Q_OBJECT
    Q_INTERFACES(IStyleObject)
public:
    explicit KStyleButton(QWidget *parent = nullptr);
    ~KStyleButton() override;

    QString themeClassName() const override;
    void setThemeClassName(const QString &name) override;

    // The icon to draw for the state in `option`, and its size.
    virtual void iconForOption(const QStyleOption *option, QIcon *icon, QSize *size) const;
    // Carries underline, italic, strike-out and bold of the widget's font over.
    virtual void adjustTextFont(QFont *font) const;

    // Where icon and text go inside the painted content: icon at the left,
    // centred vertically against the text, then `spacing`, then the text.
    struct ContentGeometry
    {
        QSize size;
        QRect iconRect;
        QRect textRect;
    };
    static ContentGeometry contentGeometry(const QSize &iconSize, const QSize &textSize, int spacing);

protected:
    void paintEvent(QPaintEvent *event) override;
};

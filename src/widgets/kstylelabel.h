#pragma once

#include "istyleobject.h"

#include <QLabel>

// A label whose font and text colour come from its theme class, fetched on
// its first show.
class KStyleLabel : public QLabel, public IStyleObject
{
    Q_OBJECT
    Q_INTERFACES(IStyleObject)
public:
    explicit KStyleLabel(QWidget *parent = nullptr);
    ~KStyleLabel() override;

    QString themeClassName() const override;
    void setThemeClassName(const QString &name) override;

    // Re-reads the text colour (not the font) from the theme, for skin changes.
    void refreshTextColor();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_themeApplied = false;
};

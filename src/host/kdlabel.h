#pragma once

#include "zentrihost_global.h"

#include <QLabel>

// The design system's label: theme font and text colour of class "KDLabel",
// the colour following skin changes.
class ZENTRIHOST_EXPORT KDLabel : public QLabel
{
    Q_OBJECT
public:
    explicit KDLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit KDLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KDLabel() override;

    // A palette set here is the caller's: skin changes no longer replace its
    // text colour.
    void setPalette(const QPalette &palette);

private:
    void applyTheme();
    bool m_ownPalette = false;
};

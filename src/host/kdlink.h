#pragma once

#include "kdbutton.h"

// A link-styled button (theme class "KDLink"): link-coloured text without
// frame, underlined under the pointer, pointing-hand cursor.
class ZENTRIHOST_EXPORT KDLink : public KDButton
{
    Q_OBJECT
public:
    explicit KDLink(QWidget *parent = nullptr);
    explicit KDLink(const QString &text, QWidget *parent = nullptr);
    ~KDLink() override;
};

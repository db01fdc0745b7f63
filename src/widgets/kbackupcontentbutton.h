#pragma once

#include <klitebutton.h>

// An action button of the message box: the host's large lite button.
class KBackupContentButton : public KLiteButton
{
    Q_OBJECT
public:
    explicit KBackupContentButton(QWidget *parent = nullptr);
    ~KBackupContentButton() override;
};

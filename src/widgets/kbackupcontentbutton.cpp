#include "kbackupcontentbutton.h"

KBackupContentButton::KBackupContentButton(QWidget *parent)
    : KLiteButton(parent, KLiteThemeSupports::SizeType(2))
{}

KBackupContentButton::~KBackupContentButton() = default;

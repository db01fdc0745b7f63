#include "secondarytext.h"

#include "plugin/arkivoapplication.h"

#include <kdlabel.h>
#include <kdrawhelper.h>

namespace SecondaryText {

void apply(KDLabel *label)
{
    if (!label)
        return;
    const QColor secondary = KDrawHelper::getColorFromTheme(QStringLiteral("CommonThemePalette"),
                                                            QStringLiteral("kd-color-text-secondary"), QColor(), true);
    if (!secondary.isValid())
        return;
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, secondary);
    // A palette of its own: the label no longer takes the plain text colour
    // of its theme class, so the skin change has to reach it from here.
    label->setPalette(colors);
}

void follow(KDLabel *label)
{
    if (!label)
        return;
    QObject::connect(&arkivoApplication::instance(), &arkivoApplication::sigSkinChanged, label,
                     [label] { apply(label); });
}

}

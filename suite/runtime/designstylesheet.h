#pragma once

#include <QColor>
#include <QString>

// The style sheet of the design system's framed inputs, from the active skin.
namespace DesignStyleSheet {
// `selector` is the Qt class the sheet styles ("QLineEdit", "QSpinBox").
QString framedInput(const QString &selector, const QString &themeClass);
// Heights 24, 28 and 32 logical pixels (scaled) for sizes 0, 1 and 2.
int inputHeight(int size);
}

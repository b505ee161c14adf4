#pragma once

#include <QMap>
#include <QSize>

#include "resources/dialog_templates.h"

class QDialog;
class QWidget;

// Pixels for dialog units: the base units of a 9-point dialog font are
// 6 x 12 pixels at 96 dpi (1.5 pixels per unit each way), scaled with the
// screen's dpi.
QSize DialogUnitsToPixels(int cx, int cy, double logicalDpi);

// Gives `dialog` the template's caption, window flags and client size and
// creates its controls inside `controlParent`; returns them by control id.
QMap<int, QWidget*> BuildDialog(QDialog* dialog, QWidget* controlParent, const DialogTemplate& dialogTemplate);

#pragma once

#include <QMap>
#include <QRect>
#include <QSize>

#include "resources/dialog_templates.h"

class QDialog;
class QWidget;

// Pixels for dialog units: the base units of a 9-point dialog font are
// 6 x 12 pixels at 96 dpi (1.5 pixels per unit each way), scaled with the
// screen's dpi.
QSize DialogUnitsToPixels(int cx, int cy, double logicalDpi);
// A control's rectangle: its edges rounded, so that neighbours that touch in
// dialog units touch in pixels.
QRect DialogUnitsToRect(int x, int y, int cx, int cy, double logicalDpi);

// The dialogs' texts use the desktop's font at this size.
constexpr double DialogFontPoints = 9.0;

// Gives `dialog` (a window, or a child page) the template's caption, window flags and client size and
// creates its controls inside `controlParent`; returns them by control id
// (labels and group boxes have none). Radio buttons in a row form a
// QButtonGroup (QAbstractButton::group()) numbered in template order.
QMap<int, QWidget*> BuildDialog(QWidget* dialog, QWidget* controlParent, const DialogTemplate& dialogTemplate);

#include "ui/keyboard_dlg.h"

#include <QCloseEvent>
#include <QPainter>

#include <algorithm>

#include "display/keyboard_picture.h"
#include "framework/dialog_builder.h"
#include "framework/qt_drawing_context.h"
#include "framework/window_placement.h"
#include "resources/dialog_templates.h"

namespace {

const char* const KeyboardSection = "KBWindow";

} // namespace

CKeyboardDlg::CKeyboardDlg(CProfile& profile, QWidget* owner) : QDialog(owner), profile(profile)
{
    BuildDialog(this, this, *FindDialogTemplate(KeyboardTemplate));
    // The paint covers the whole client area: nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QRect placed;
    if (RestoreStoredRectangle(profile, KeyboardSection, placed, true)) {
        setGeometry(placed);
        this->placed = true;
    }
}

// Nothing stored: below the main window where there is room, when first
// shown.
void CKeyboardDlg::showEvent(QShowEvent* e)
{
    if (!placed) {
        placed = true;
        PlaceBelowOwner(this);
    }
    QDialog::showEvent(e);
}

CKeyboardDlg::~CKeyboardDlg()
{
    OnDestroy();
}

void CKeyboardDlg::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    StoreRectangle(profile, KeyboardSection, geometry());
}

QImage CKeyboardDlg::Picture() const
{
    CImageDC picture(width(), height());
    BITMAP bits;
    void* buffer = ReadSurfaceBits(&picture, &bits);
    PaintKeyboard(&bits, PitchLevels);
    WriteSurfaceBits(buffer, &picture, &bits);
    return picture.Image();
}

void CKeyboardDlg::SetPitchLevels(const float* levels)
{
    if (std::equal(levels, levels + 12, PitchLevels))
        return;
    std::copy(levels, levels + 12, PitchLevels);
    if (isVisible())
        repaint();
}

void CKeyboardDlg::paintEvent(QPaintEvent*)
{
    ++paints;
    QPainter painter(this);
    painter.drawImage(0, 0, Picture());
}

void CKeyboardDlg::closeEvent(QCloseEvent* e)
{
    e->accept();
    if (closeHandler)
        closeHandler();
}

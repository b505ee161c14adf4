#include "framework/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>

#include <algorithm>
#include <vector>

namespace {

QWidget* CreateControl(const ControlTemplate& c, QWidget* parent)
{
    const QString caption = QString::fromUtf8(c.caption ? c.caption : "");
    switch (c.kind) {
    case ControlKind::PushButton:
        return new QPushButton(caption, parent);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::PushLikeCheckBox: {
        auto* button = new QPushButton(caption, parent);
        button->setCheckable(true);
        return button;
    }
    case ControlKind::RadioButton:
        return new QRadioButton(caption, parent);
    case ControlKind::ComboBox:
        return new QComboBox(parent);
    case ControlKind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal, parent);
        slider->setTickPosition(QSlider::NoTicks);
        return slider;
    }
    case ControlKind::Edit:
        return new QLineEdit(caption, parent);
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(caption, parent);
    case ControlKind::Tab:
        return new QTabBar(parent);
    }
    return nullptr;
}

double ScreenDpi(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

Qt::WindowFlags WindowFlagsFor(unsigned style)
{
    if (style & DialogChild)
        return Qt::Widget;
    if (style & DialogToolWindow)
        return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & DialogMaximizeBox)
        flags |= Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint;
    return flags;
}

// Whether the control's text fits the size the template gives it.
bool CaptionFits(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts))
            if (label->fontMetrics().horizontalAdvance(word) > label->width())
                return false;
        return label->heightForWidth(label->width()) <= label->height();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->fontMetrics().horizontalAdvance(box->title()) + box->fontMetrics().height() <= box->width();
    if (const auto* button = qobject_cast<const QPushButton*>(widget))
        return button->fontMetrics().horizontalAdvance(button->text()) + 4 <= button->width();
    if (qobject_cast<const QAbstractButton*>(widget))
        return widget->sizeHint().width() <= widget->width();
    return true;
}

// The width the control's text needs on one line.
int CaptionWidth(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->fontMetrics().horizontalAdvance(label->text()) + 2;
    return widget->sizeHint().width();
}

// The right edge a control may grow to without covering a visible sibling
// to its right or leaving the group box around it or the dialog.
int FreeRightEdge(const QWidget* widget, const std::vector<QWidget*>& siblings, int clientWidth)
{
    const QRect r = widget->geometry();
    int edge = clientWidth - 2;
    for (const QWidget* other : siblings) {
        const QRect o = other->geometry();
        if (other == widget || other->isHidden())
            continue;
        if (qobject_cast<const QGroupBox*>(other) && o.contains(r)) {
            edge = std::min(edge, o.right() - 4);
            continue;
        }
        const bool besideIt = o.top() <= r.bottom() && o.bottom() >= r.top() && o.left() > r.left();
        if (besideIt)
            edge = std::min(edge, o.left() - 2);
    }
    return edge;
}

// The desktop's font may be wider than the one the dialog units were laid
// out for. A caption that would be clipped first takes free room to its
// right (labels, check boxes, radio buttons), then a smaller font, down to
// 6 points; positions and heights stay as the template gives them.
void FitCaptions(const std::vector<QWidget*>& built, int clientWidth)
{
    for (QWidget* widget : built) {
        if (CaptionFits(widget))
            continue;
        const bool grows = qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget) ||
                           qobject_cast<QRadioButton*>(widget);
        if (grows) {
            const int room = FreeRightEdge(widget, built, clientWidth) - widget->x() + 1;
            widget->resize(std::max(widget->width(), std::min(CaptionWidth(widget), room)), widget->height());
        }
        QFont font = widget->font();
        while (!CaptionFits(widget) && font.pointSizeF() > 6.0) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            widget->setFont(font);
        }
    }
}

// Consecutive radio buttons from one that starts a group form a button
// group numbered 0, 1, ... in template order, disabled buttons included.
void JoinRadioGroup(QWidget* widget, const ControlTemplate& c, QWidget* parent, QButtonGroup*& group)
{
    auto* radio = qobject_cast<QRadioButton*>(widget);
    if (!radio) {
        group = nullptr;
        return;
    }
    if (!group || (c.style & ControlGroupStart))
        group = new QButtonGroup(parent);
    group->addButton(radio, group->buttons().size());
}

} // namespace

QSize DialogUnitsToPixels(int cx, int cy, double logicalDpi)
{
    const double scale = 1.5 * logicalDpi / 96.0;
    return QSize(qRound(cx * scale), qRound(cy * scale));
}

QRect DialogUnitsToRect(int x, int y, int cx, int cy, double logicalDpi)
{
    const QSize topLeft = DialogUnitsToPixels(x, y, logicalDpi);
    const QSize bottomRight = DialogUnitsToPixels(x + cx, y + cy, logicalDpi);
    return QRect(QPoint(topLeft.width(), topLeft.height()),
                 QSize(bottomRight.width() - topLeft.width(), bottomRight.height() - topLeft.height()));
}

QMap<int, QWidget*> BuildDialog(QWidget* dialog, QWidget* controlParent, const DialogTemplate& t)
{
    dialog->setWindowTitle(QString::fromUtf8(t.caption));
    dialog->setWindowFlags(WindowFlagsFor(t.style));
    if (auto* box = qobject_cast<QDialog*>(dialog))
        box->setSizeGripEnabled(false);
    QFont font = dialog->font();
    font.setPointSizeF(DialogFontPoints);
    dialog->setFont(font);

    const double dpi = ScreenDpi(dialog);
    dialog->resize(DialogUnitsToPixels(t.cx, t.cy, dpi));
    QMap<int, QWidget*> controls;
    std::vector<QWidget*> built;
    QButtonGroup* radioGroup = nullptr;
    for (int i = 0; i < t.controlCount; ++i) {
        const ControlTemplate& c = t.controls[i];
        QWidget* widget = CreateControl(c, controlParent);
        widget->setGeometry(DialogUnitsToRect(c.x, c.y, c.cx, c.cy, dpi));
        widget->setVisible(!(c.style & ControlHidden));
        widget->setEnabled(!(c.style & ControlDisabled));
        // A drop-down list's template height includes its dropped list.
        if (c.kind == ControlKind::ComboBox)
            widget->resize(widget->width(), widget->sizeHint().height());
        JoinRadioGroup(widget, c, controlParent, radioGroup);
        // A group box frames the controls inside it; it must not cover them.
        if (c.kind == ControlKind::GroupBox)
            widget->lower();
        if (c.id != NoControlId)
            controls.insert(c.id, widget);
        built.push_back(widget);
    }
    FitCaptions(built, DialogUnitsToPixels(t.cx, t.cy, dpi).width());
    return controls;
}

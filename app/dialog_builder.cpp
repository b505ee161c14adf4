#include "app/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>

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
    case ControlKind::Label:
        return new QLabel(caption, parent);
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

} // namespace

QSize DialogUnitsToPixels(int cx, int cy, double logicalDpi)
{
    const double scale = 1.5 * logicalDpi / 96.0;
    return QSize(qRound(cx * scale), qRound(cy * scale));
}

QMap<int, QWidget*> BuildDialog(QDialog* dialog, QWidget* controlParent, const DialogTemplate& t)
{
    dialog->setWindowTitle(QString::fromUtf8(t.caption));
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t.style & DialogMaximizeBox)
        flags |= Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint;
    dialog->setWindowFlags(flags);
    dialog->setSizeGripEnabled(false);

    const double dpi = ScreenDpi(dialog);
    QMap<int, QWidget*> controls;
    for (int i = 0; i < t.controlCount; ++i) {
        const ControlTemplate& c = t.controls[i];
        QWidget* widget = CreateControl(c, controlParent);
        const QSize position = DialogUnitsToPixels(c.x, c.y, dpi);
        const QSize size = DialogUnitsToPixels(c.cx, c.cy, dpi);
        widget->setGeometry(position.width(), position.height(), size.width(), size.height());
        widget->setVisible(!(c.style & ControlHidden));
        widget->setEnabled(!(c.style & ControlDisabled));
        controls.insert(c.id, widget);
    }
    return controls;
}

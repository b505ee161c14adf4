#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSlider>

#include "framework/dialog_builder.h"

namespace {

TEST(DialogBuilder, DialogUnitsScaleWithTheScreen)
{
    EXPECT_EQ(DialogUnitsToPixels(322, 298, 96.0), QSize(483, 447));
    EXPECT_EQ(DialogUnitsToPixels(100, 10, 192.0), QSize(300, 30));
}

TEST(DialogBuilder, ControlsComeFromTheTable)
{
    const ControlTemplate controls[] = {
        {1001, ControlKind::CheckBox, "Log scale", 10, 20, 60, 10, ControlGroupStart},
        {1002, ControlKind::Slider, "", 10, 40, 100, 12, 0},
        {1003, ControlKind::PushLikeCheckBox, "Pause", 10, 60, 40, 14, ControlDisabled},
        {1004, ControlKind::ComboBox, "", 10, 80, 60, 50, ControlHidden},
    };
    const DialogTemplate t{900, "Test panel", 200, 120, 0, controls, 4};
    QDialog dialog;
    const QMap<int, QWidget*> built = BuildDialog(&dialog, &dialog, t);
    EXPECT_EQ(dialog.windowTitle(), "Test panel");
    ASSERT_EQ(built.size(), 4);
    auto* check = qobject_cast<QCheckBox*>(built[1001]);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text(), "Log scale");
    const double dpi = dialog.logicalDpiY();
    EXPECT_EQ(check->geometry().topLeft(),
              QPoint(DialogUnitsToPixels(10, 20, dpi).width(), DialogUnitsToPixels(10, 20, dpi).height()));
    EXPECT_NE(qobject_cast<QSlider*>(built[1002]), nullptr);
    auto* pause = qobject_cast<QPushButton*>(built[1003]);
    ASSERT_NE(pause, nullptr);
    EXPECT_TRUE(pause->isCheckable());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_TRUE(built[1004]->isHidden());
    EXPECT_FALSE(built[1001]->isHidden());
}

} // namespace

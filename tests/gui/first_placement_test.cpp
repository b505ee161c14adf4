#include <QScreen>

#include "framework/window_placement.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/keyboard_dlg.h"
#include "ui/setting_dlg.h"

namespace {

// Where the windows go on a first start, on the screen the test runs on
// (ctest runs it on 1920 x 1080, 1366 x 768 and 1024 x 600 screens, and on
// the tests' own 800 x 800; windows have no frames there): the main window
// centred, the panel beside it, top edges aligned, and the keyboard below
// it, each where there is room.
class FirstPlacement : public MainWindow {};

TEST_F(FirstPlacement, ToolWindowsGoBesideAndBelowTheMainWindowWhereThereIsRoom)
{
    CAnalyzerDlg& w = Open();
    const QRect screen = w.screen()->availableGeometry();
    const QRect main = w.frameGeometry();
    EXPECT_LE((main.center() - screen.center()).manhattanLength(), 1) << "centred";

    const QRect panel = w.SettingsPanel()->frameGeometry();
    EXPECT_TRUE(screen.contains(panel)) << "the panel is on the screen";
    const bool roomBeside = screen.width() - main.width() >= 2 * (panel.width() + ToolWindowGap);
    if (roomBeside) {
        EXPECT_FALSE(panel.intersects(main));
        EXPECT_EQ(panel.left(), main.right() + 1 + ToolWindowGap) << "on the right";
        EXPECT_EQ(panel.top(), std::min(main.top(), screen.bottom() + 1 - panel.height())) << "tops aligned";
    } else {
        EXPECT_EQ(panel.right(), screen.right());
        EXPECT_LE(panel.intersected(main).width(), panel.width());
    }

    w.SetShowKeyboard(true);
    const QRect keyboard = w.KeyboardWindow()->frameGeometry();
    if (main.bottom() + ToolWindowGap + keyboard.height() <= screen.bottom()) {
        EXPECT_EQ(keyboard.top(), main.bottom() + 1 + ToolWindowGap) << "below";
        EXPECT_EQ(keyboard.left(), main.left());
    }
    const int screens[][2] = {{1920, 1080}, {1366, 768}, {1024, 600}};
    for (const auto& s : screens)
        if (screen.width() == s[0] && screen.height() == s[1]) {
            EXPECT_TRUE(roomBeside) << "the panel fits beside the main window on " << s[0] << " x " << s[1];
            EXPECT_FALSE(panel.intersects(main));
        }
    if (screen.height() >= 1080) {
        EXPECT_FALSE(keyboard.intersects(main)) << "the keyboard fits below";
    }
}

// Stored rectangles are restored exactly, whatever the screen.
TEST_F(FirstPlacement, StoredRectanglesAreRestoredExactly)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect main(10, 20, 400, 300), panel(420, 20, 201, std::min(615, screen.height() - 20)),
        keyboard(10, 330, 393, 185);
    StoreRectangle(*profile, "Window", main);
    StoreRectangle(*profile, "SettingWindow", panel);
    StoreRectangle(*profile, "KBWindow", keyboard);
    CAnalyzerDlg& w = Open();
    w.SetShowKeyboard(true);
    EXPECT_EQ(w.geometry(), main);
    EXPECT_EQ(w.SettingsPanel()->geometry(), panel);
    EXPECT_EQ(w.KeyboardWindow()->geometry(), keyboard);
}

} // namespace

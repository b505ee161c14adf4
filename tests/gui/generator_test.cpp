#include <QDoubleSpinBox>
#include <QTest>

#include <cstdlib>

#include "app/picture_menu.h"
#include "input/pulse_output.h"
#include "tests/gui/main_window_fixture.h"
#include "ui/generator_dlg.h"

namespace {

class Generator : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        if (const char* server = std::getenv("PULSE_SERVER"))
            savedServer = server;
    }
    void TearDown() override
    {
        CGeneratorDlg::SetLoudConfirmer(nullptr);
        MainWindow::TearDown();
        if (savedServer.empty())
            unsetenv("PULSE_SERVER");
        else
            setenv("PULSE_SERVER", savedServer.c_str(), 1);
    }
    std::string savedServer;
};

// "Generator…" opens at the quieter of -20 dBFS and the level kept; a level
// above -6 dBFS is asked about, once a run; it plays through the rig's
// server (without one it says so), its choices are kept, and closing the
// window stops it.
TEST_F(Generator, FromTheMenuALoudLevelIsAskedAboutOnceAndTheChoicesAreKept)
{
    profile->WriteString("Generator", "Level", "-3.0");
    CAnalyzerDlg& w = Open();
    w.PictureMenu()->GeneratorAction()->trigger();
    CGeneratorDlg* generator = w.GeneratorWindow();
    ASSERT_TRUE(generator && generator->isVisible());
    EXPECT_EQ(generator->LevelBox()->value(), -20.0) << "never opens loud";

    int asked = 0;
    bool answer = false;
    CGeneratorDlg::SetLoudConfirmer([&](QWidget*, double) {
        ++asked;
        return answer;
    });
    generator->LevelBox()->setValue(-3.0);
    generator->StartOrStop();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(generator->Playing()) << "refused";
    // Only the test rig's private server is played to, never a desktop's.
    const bool rig = std::getenv("TAVI_PULSE_DIR") != nullptr;
    if (!rig)
        setenv("PULSE_SERVER", "unix:/nonexistent/tavimeter-test", 1);
    answer = true;
    generator->StartOrStop();
    EXPECT_EQ(asked, 2);
    if (!rig) {
        // No server answers: said, and nothing plays.
        EXPECT_FALSE(generator->Playing());
        EXPECT_TRUE(generator->Status().startsWith("The generator cannot play: no PulseAudio server answers"))
            << generator->Status().toStdString();
        return;
    }
    ASSERT_TRUE(generator->Playing()) << generator->Status().toStdString();
    ASSERT_NE(w.GeneratorOutput(), nullptr);
    EXPECT_TRUE(w.GeneratorOutput()->Now().running);
    generator->LevelBox()->setValue(-4.0);
    EXPECT_EQ(asked, 2) << "once a run";
    char stored[32] = "";
    profile->ReadString("Generator", "Level", stored, sizeof stored);
    EXPECT_STREQ(stored, "-4.0");

    generator->close();
    EXPECT_FALSE(generator->Playing());
    QTest::qWait(CPulseOutput::SilentAfterStopMs + 200);
    EXPECT_EQ(w.GeneratorOutput(), nullptr) << "the stream goes after the fade";
}

} // namespace

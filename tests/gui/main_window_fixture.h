#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/analyzer_dlg.h"
#include "framework/qt_drawing_context.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "tests/input/scripted_wave_input.h"

// The main window over a scripted sound device and an INI file of its own.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        messages.clear();
        CAnalyzerDlg::SetMessagePresenter([this](QWidget*, const QString& text) { messages << text; });
        iniPath = QDir::tempPath().toStdString() + "/tavi_gui_" + std::to_string(::getpid()) + ".ini";
        std::remove(iniPath.c_str());
        profile = std::make_unique<CProfile>(iniPath);
    }
    void TearDown() override
    {
        dialog.reset();
        std::remove(iniPath.c_str());
        SharedSettings = Settings();
    }

    CAnalyzerDlg& Open()
    {
        dialog = std::make_unique<CAnalyzerDlg>(*profile, &driver);
        dialog->OnInitDialog();
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }

    // One buffer of a sine through the scripted device; its notification
    // is posted to the window like the sound device's.
    void PushSine(double frequency, double amplitude = 20000)
    {
        std::vector<int16_t> frames(2 * 2048);
        for (int i = 0; i < 2048; ++i)
            frames[2 * i] = frames[2 * i + 1] =
                int16_t(std::lround(amplitude * std::sin(2 * M_PI * frequency * (fed + i) / 48000.0)));
        fed += 2048;
        driver.last->Push(frames);
    }

    void Settle() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

    // Settings reach the program through the INI file, which the settings
    // panel reads when the window opens.
    void Store(std::initializer_list<std::pair<const char*, const char*>> keys)
    {
        for (const auto& [key, value] : keys)
            profile->WriteString(std::string(key).rfind("Slider", 0) == 0 ? "Ctrl" : "SettingWindow", key, value);
    }

    std::string iniPath;
    std::unique_ptr<CProfile> profile;
    ScriptedDriver driver;
    std::unique_ptr<CAnalyzerDlg> dialog;
    QStringList messages;
    long fed = 0;
};

// The picture tests keep their screenshots in the build folder.
inline void Keep(const QImage& image, const char* name)
{
    image.save(QString("%1/%2.png").arg(QDir::currentPath(), name));
}


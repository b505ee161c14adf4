#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <unistd.h>

#include "framework/data_exchange.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "ui/setting_dlg.h"
#include "ui/settings_host.h"

// The settings panel on its own, over an INI file of its own and a host
// that counts what the panel asks of the main window.
struct CountingHost : CSettingsHost {
    int mode = 0, zoomIns = 0, zoomOuts = 0, kernelBuilds = 0, bandUpdates = 0, repaints = 0;
    void SetDisplayMode(int m) override { mode = m; }
    void ZoomIn() override { ++zoomIns; }
    void ZoomOut() override { ++zoomOuts; }
    void ReconfigureConstantQ() override { ++kernelBuilds; }
    void UpdateCQWrapBand() override { ++bandUpdates; }
    void RepaintPicture() override { ++repaints; }
};

class SettingsPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedSettings = Settings();
        CDataExchange::SetNumberRequest([this](QLineEdit* edit) { numberRequests << edit; });
        iniPath = QDir::tempPath().toStdString() + "/tavi_panel_" + std::to_string(::getpid()) + ".ini";
        std::remove(iniPath.c_str());
        profile = std::make_unique<CProfile>(iniPath);
    }
    void TearDown() override
    {
        panel.reset();
        std::remove(iniPath.c_str());
        SharedSettings = Settings();
        CDataExchange::SetNumberRequest(nullptr);
    }

    CSettingDlg& Open()
    {
        panel = std::make_unique<CSettingDlg>(host, *profile, nullptr);
        return *panel;
    }
    // Destroys the panel, which writes its keys and its pages' keys.
    void Close() { panel.reset(); }

    void Store(const char* section, const char* key, const char* value) { profile->WriteString(section, key, value); }
    std::string Stored(const char* section, const char* key)
    {
        char text[128];
        profile->ReadString(section, key, text, sizeof text);
        return text;
    }
    std::string FileText()
    {
        std::ifstream in(iniPath);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    QAbstractButton* Button(int id) { return static_cast<QAbstractButton*>(panel->Control(id)); }
    static QStringList Entries(const QComboBox* list)
    {
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        return entries;
    }

    CountingHost host;
    std::string iniPath;
    std::unique_ptr<CProfile> profile;
    std::unique_ptr<CSettingDlg> panel;
    QList<QLineEdit*> numberRequests;
};

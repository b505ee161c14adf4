#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "display/colour_map.h"
#include "framework/data_exchange.h"
#include "framework/dialog_builder.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "tests/gui/settings_panel_fixture.h"
#include "ui/setting_dlg.h"
#include "ui/setting_page1.h"
#include "ui/setting_page2.h"
#include "ui/settings_host.h"

namespace {

QString Caption(const QWidget* w)
{
    if (const auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return QString();
}

bool CaptionClipped(const QWidget* w)
{
    if (const auto* l = qobject_cast<const QLabel*>(w))
        return l->heightForWidth(l->width()) > l->height();
    if (const auto* b = qobject_cast<const QPushButton*>(w))
        return b->fontMetrics().horizontalAdvance(b->text()) > b->width();
    if (qobject_cast<const QAbstractButton*>(w))
        return w->sizeHint().width() > w->width();
    return false;
}

TEST_F(SettingsPanel, ControlsAreBuiltAsTheTemplatesSayAndNothingIsClippedOrCovered)
{
    // Template id, control id (-1: none), class, caption, position and size
    // in dialog units, state (h hidden, d disabled).
    const struct Row {
        int dialog, id;
        const char* kind;
        const char* caption;
        int x, y, cx, cy;
        char state;
    } rows[] = {
        {129, 1014, "QRadioButton", "2-D Spectrogram", 10, 130, 105, 10, ' '},
        {129, 1017, "QRadioButton", "Constant-Q Spectrogram", 10, 141, 110, 10, ' '},
        {129, 1015, "QRadioButton", "1-D Spectum", 10, 150, 80, 10, ' '},
        {129, 1016, "QRadioButton", "LPC", 10, 160, 110, 10, 'd'},
        {129, 1021, "QRadioButton", "Speech", 10, 170, 110, 10, 'd'},
        {129, 1018, "QRadioButton", "1-D Spectum 2", 10, 180, 80, 10, 'd'},
        {129, 1002, "QSlider", "", 55, 20, 80, 15, ' '},
        {129, -1, "QLabel", "Contrast high", 5, 5, 40, 10, ' '},
        {129, 1003, "QCheckBox", "Log Scale", 5, 70, 45, 10, ' '},
        {129, 1004, "QCheckBox", "Grid", 5, 80, 45, 10, ' '},
        {129, 1005, "QCheckBox", "High Emphasis", 5, 100, 60, 10, ' '},
        {129, 1006, "QPushButton", "+", 105, 45, 15, 15, ' '},
        {129, 1007, "QPushButton", "-", 105, 60, 15, 15, ' '},
        {129, 1008, "QCheckBox", "CursorGuide", 5, 110, 60, 10, ' '},
        {129, 1009, "QSlider", "", 55, 0, 80, 15, ' '},
        {129, -1, "QLabel", "Contrast low", 5, 20, 40, 10, ' '},
        {129, 1012, "QPushButton", "Pause", 5, 45, 40, 15, ' '},
        {129, -1, "QGroupBox", "YScale", 95, 35, 35, 45, ' '},
        {129, 1011, "QCheckBox", "極のみ表示", 5, 395, 60, 10, 'h'},
        {129, 1013, "QCheckBox", "Grid2", 5, 90, 40, 10, ' '},
        {129, -1, "QGroupBox", "Display", 5, 120, 125, 80, ' '},
        {129, 1020, "QComboBox", "", 15, 295, 105, 125, ' '},
        {129, -1, "QGroupBox", "Window", 5, 285, 125, 30, ' '},
        {129, 1023, "QCheckBox", "Wrap spectrum under cq", 5, 375, 85, 10, 'h'},
        {129, 1024, "QComboBox", "", 15, 325, 105, 125, ' '},
        {129, -1, "QGroupBox", "Color", 5, 315, 125, 30, ' '},
        {129, 1025, "QTabBar", "", 5, 200, 125, 85, ' '},
        {129, 1026, "QCheckBox", "Tempo detector", 5, 385, 70, 10, 'h'},
        {129, -1, "QGroupBox", "Speed", 50, 35, 40, 30, ' '},
        {129, 1010, "QPushButton", "+", 55, 45, 15, 15, ' '},
        {129, 1019, "QPushButton", "-", 70, 45, 15, 15, ' '},
        {129, 1027, "QComboBox", "", 15, 355, 105, 125, ' '},
        {129, -1, "QGroupBox", "WindowSize", 5, 345, 125, 30, ' '},
        {101, 1010, "QLineEdit", "", 55, 0, 50, 15, ' '},
        {101, -1, "QLabel", "Max. Freq (Hz)", 5, 0, 45, 15, ' '},
        {101, 1018, "QLineEdit", "", 55, 15, 50, 15, 'd'},
        {101, -1, "QLabel", "Oversample(x)", 5, 15, 45, 15, ' '},
        {101, 1019, "QLineEdit", "", 55, 30, 50, 15, ' '},
        {101, -1, "QLabel", "Range Min (Hz)", 5, 30, 45, 15, ' '},
        {101, 1022, "QLineEdit", "", 55, 45, 50, 15, ' '},
        {101, -1, "QLabel", "Signal Thre.", 5, 45, 45, 15, ' '},
        {131, 1003, "QCheckBox", "StereoView", 5, 5, 70, 10, ' '},
        {131, 1010, "QLineEdit", "", 55, 15, 50, 15, ' '},
        {131, -1, "QLabel", "CQFFT Window Adjustment", 5, 15, 45, 15, ' '},
    };
    CSettingDlg& p = Open();
    EXPECT_EQ(p.windowTitle(), "Settings");
    EXPECT_TRUE(p.windowFlags() & Qt::Tool);
    EXPECT_FALSE(p.windowFlags() & Qt::WindowCloseButtonHint);
    const double dpi = p.logicalDpiY();
    EXPECT_EQ(p.size(), DialogUnitsToPixels(134, 410, dpi));
    const std::map<int, QWidget*> dialogs = {{129, &p}, {101, p.Page1()}, {131, p.Page2()}};
    std::map<int, int> matched;
    std::map<QWidget*, QRect> designed;  // in dialog units
    for (const Row& r : rows) {
        QWidget* dialog = dialogs.at(r.dialog);
        const QRect expected = DialogUnitsToRect(r.x, r.y, r.cx, r.cy, dpi);
        const QSize size = expected.size();
        QWidget* found = nullptr;
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (std::strcmp(w->metaObject()->className(), r.kind) == 0 && Caption(w) == QString::fromUtf8(r.caption) &&
                w->pos() == expected.topLeft())
                found = w;
        ASSERT_NE(found, nullptr) << r.dialog << " " << r.id << " " << r.caption;
        ++matched[r.dialog];
        designed[found] = QRect(r.x, r.y, r.cx, r.cy);
        if (r.id != -1) {
            QWidget* byId = r.dialog == 129   ? p.Control(r.id)
                            : r.dialog == 101 ? p.Page1()->Control(r.id)
                                              : p.Page2()->Control(r.id);
            EXPECT_EQ(byId, found) << r.id;
        }
        // Captions may take free room to their right; a drop-down list's
        // height is its field's, the rest of the template's is its list.
        EXPECT_GE(found->width(), size.width()) << r.caption;
        if (std::strcmp(r.kind, "QComboBox") != 0) {
            EXPECT_EQ(found->height(), size.height()) << r.id << r.caption;
        }
        EXPECT_EQ(found->isHidden(), r.state == 'h') << r.id << r.caption;
        EXPECT_EQ(found->isEnabled(), r.state != 'd') << r.id << r.caption;
        EXPECT_FALSE(CaptionClipped(found)) << r.caption;
    }
    for (const auto& [id, dialog] : dialogs) {
        QList<QWidget*> controls;
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QGroupBox*>(w) && w != p.Page1() && w != p.Page2() &&
                !w->isHidden() && w->isWidgetType() && w->geometry().isValid())
                controls << w;
        // Neighbours the design itself overlaps (by one unit) are let be.
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j)
                EXPECT_TRUE(designed[controls[i]].intersects(designed[controls[j]]) ||
                            !controls[i]->geometry().intersects(controls[j]->geometry()))
                    << id << ": " << Caption(controls[i]).toStdString() << " / " << Caption(controls[j]).toStdString();
    }
    EXPECT_EQ(matched[129], 33);

    // The pages sit at 12, 320 (pixels at 96 dpi), page 2 hidden.
    const double scale = dpi / 96.0;
    const QRect pageRect(qRound(12 * scale), qRound(320 * scale), qRound(214 * scale), qRound(106 * scale));
    EXPECT_EQ(p.Page1()->geometry(), pageRect);
    EXPECT_EQ(p.Page2()->geometry(), pageRect);
    EXPECT_TRUE(p.Page1()->isVisible());
    EXPECT_TRUE(p.Page2()->isHidden());
    EXPECT_EQ(p.Tabs()->count(), 2);
    EXPECT_EQ(p.Tabs()->tabText(0), "Settings1");
    EXPECT_EQ(p.Tabs()->tabText(1), "Settings2");
    EXPECT_EQ(p.Tabs()->currentIndex(), 0);
    p.Tabs()->setCurrentIndex(1);
    EXPECT_TRUE(p.Page1()->isHidden());
    EXPECT_TRUE(p.Page2()->isVisible());
}

TEST_F(SettingsPanel, AFirstRunWithoutAnIniFile)
{
    CSettingDlg& p = Open();
    EXPECT_TRUE(p.isVisible());
    EXPECT_EQ(SharedSettings.ContrastLow, 0);
    EXPECT_EQ(SharedSettings.ContrastHigh, 0);
    EXPECT_EQ(p.Slider(CSettingDlg::ContrastLowSlider)->value(), 10);
    EXPECT_EQ(p.Slider(CSettingDlg::ContrastHighSlider)->value(), 5);
    EXPECT_FALSE(SharedSettings.LogScale || SharedSettings.Grid || SharedSettings.Grid2 || SharedSettings.HighEmphasis ||
                 SharedSettings.CursorGuide || SharedSettings.WrapUnderCQ || SharedSettings.TempoDetector);
    EXPECT_EQ(SharedSettings.Oversample, 1);
    EXPECT_EQ(SharedSettings.WindowType, 0);
    EXPECT_EQ(SharedSettings.ColorType, 0);
    EXPECT_EQ(SharedSettings.WindowSize, 512);
    EXPECT_EQ(SharedSettings.MaxFreq, 22050.0f);
    EXPECT_EQ(SharedSettings.AMinFreq, 0.0f);
    EXPECT_EQ(SharedSettings.SignalThre, 0.0f);
    EXPECT_EQ(SharedSettings.Stereo, 0);
    EXPECT_EQ(SharedSettings.CQAdjustmentValue, 0.0f);
    EXPECT_EQ(p.ModeGroup()->checkedId(), 0);
    EXPECT_EQ(p.Page1()->Edit(1010)->text(), "22050");
    EXPECT_EQ(p.Page1()->Edit(1019)->text(), "0");
    EXPECT_EQ(p.Page2()->AdjustmentEdit()->text(), "0");
    EXPECT_FALSE(p.Page2()->StereoBox()->isChecked());
    EXPECT_EQ(Entries(p.List(CSettingDlg::WindowTypeList)),
              QStringList({"Rectangle", "Hann", "Hamming", "Gauss", "Blackman", "Blackman-Harris", "Flattop", "Vorbis",
                           "Sine", "Triangle"}));
    EXPECT_EQ(Entries(p.List(CSettingDlg::ColorTypeList)), QStringList({"Normal", "Inversed", "Grayscale"}));
    EXPECT_EQ(Entries(p.List(CSettingDlg::WindowSizeList)), QStringList({"512", "1024", "2048", "4096", "8192"}));
    EXPECT_EQ(host.kernelBuilds, 1) << "the first filling builds the kernel with the loaded adjustment";
    EXPECT_EQ(host.bandUpdates, 1);
    EXPECT_TRUE(numberRequests.isEmpty());
}

// Every key across two runs: what the first run reads, what it writes back,
// and what the second run makes of that.
TEST_F(SettingsPanel, EveryKeySurvivesARestartInItsFormat)
{
    const std::pair<const char*, const char*> stored[] = {
        {"Check1", "1"},        {"Check2", "0"},        {"Check3", "7"},       {"Check4", "1"},
        {"Check7", "1"},        {"Check8", "0"},        {"Check9", "1"},       {"Oversample", "12"},
        {"WindowType", "12"},   {"ColorType", "2"},     {"WindowSize", "7"},   {"MaxFreq", "500"},
        {"AMinFreq", "1.006"},  {"SignalThre", "0.5"},  {"Stereo", "3"},       {"CQAdjustmentValue", "-0.25"},
        {"Left", "100"},        {"Top", "120"},         {"Right", "320"},      {"Bottom", "760"},
    };
    for (const auto& [key, value] : stored)
        Store("SettingWindow", key, value);
    Store("Ctrl", "Slider1", "41");
    Store("Ctrl", "Slider2", "70");

    Open();
    EXPECT_TRUE(SharedSettings.LogScale && !SharedSettings.Grid && SharedSettings.HighEmphasis &&
                SharedSettings.CursorGuide && SharedSettings.Grid2 && !SharedSettings.WrapUnderCQ &&
                SharedSettings.TempoDetector);
    EXPECT_EQ(SharedSettings.Oversample, 12);
    EXPECT_EQ(SharedSettings.WindowType, -1) << "no such window: none applied";
    EXPECT_EQ(panel->List(CSettingDlg::WindowTypeList)->currentIndex(), -1);
    EXPECT_EQ(SharedSettings.ColorType, 2);
    EXPECT_EQ(SharedSettings.WindowSize, 4096);
    EXPECT_EQ(panel->List(CSettingDlg::WindowSizeList)->currentIndex(), -1);
    EXPECT_EQ(SharedSettings.MaxFreq, 500.0f) << "a maximum an edit accepts survives loading";
    EXPECT_EQ(SharedSettings.AMinFreq, 1.006f);
    EXPECT_EQ(SharedSettings.SignalThre, 0.5f);
    EXPECT_EQ(SharedSettings.Stereo, 3) << "published as stored";
    EXPECT_EQ(SharedSettings.CQAdjustmentValue, -0.25f);
    EXPECT_EQ(SharedSettings.ContrastLow, 41);
    EXPECT_EQ(SharedSettings.ContrastHigh, 70);
    EXPECT_EQ(panel->geometry(), QRect(100, 120, 220, 640));
    Close();

    const std::pair<const char*, const char*> written[] = {
        {"Check1", "1"},       {"Check2", "0"},       {"Check3", "1"},       {"Check4", "1"},
        {"Check7", "1"},       {"Check8", "0"},       {"Check9", "1"},       {"Oversample", "12"},
        {"WindowType", "-1"},  {"ColorType", "2"},    {"WindowSize", "-1"},  {"MaxFreq", "500.00"},
        {"AMinFreq", "1.01"},  {"SignalThre", "0.50"}, {"Stereo", "3"},      {"CQAdjustmentValue", "-0.25"},
        {"Left", "100"},       {"Top", "120"},        {"Right", "320"},      {"Bottom", "760"},
    };
    for (const auto& [key, value] : written)
        EXPECT_EQ(Stored("SettingWindow", key), value) << key;
    EXPECT_EQ(Stored("Ctrl", "Slider1"), "41") << "a run that touches nothing keeps the contrast";
    EXPECT_EQ(Stored("Ctrl", "Slider2"), "70");

    Open();
    EXPECT_EQ(SharedSettings.WindowSize, 4096);
    EXPECT_EQ(panel->List(CSettingDlg::WindowSizeList)->currentIndex(), 3) << "a negative index means 4096";
    EXPECT_EQ(SharedSettings.AMinFreq, 1.01f);
    EXPECT_EQ(SharedSettings.MaxFreq, 500.0f);
    // Pause, poles only and the mode are never stored.
    EXPECT_EQ(FileText().find("Pause"), std::string::npos);
    EXPECT_EQ(FileText().find("DisplayMode"), std::string::npos);
}

TEST_F(SettingsPanel, TouchingOneContrastSliderLeavesTheOtherAsStored)
{
    Store("Ctrl", "Slider1", "41");
    Store("Ctrl", "Slider2", "70");
    Store("SettingWindow", "ColorType", "1");
    CSettingDlg& p = Open();
    EXPECT_EQ(p.Slider(CSettingDlg::ContrastLowSlider)->value(), 40);
    EXPECT_EQ(p.Slider(CSettingDlg::ContrastHighSlider)->value(), 69);
    const uint32_t before = ColorMap[4000];
    p.Slider(CSettingDlg::ContrastLowSlider)->setValue(60);
    EXPECT_EQ(SharedSettings.ContrastLow, 61);
    EXPECT_EQ(SharedSettings.ContrastHigh, 70);
    EXPECT_NE(ColorMap[4000], before) << "the colour table follows at once";
    EXPECT_EQ(ColorMap[4000], ColourOf(4000 * 0.005f));
    Close();
    EXPECT_EQ(Stored("Ctrl", "Slider1"), "61");
    EXPECT_EQ(Stored("Ctrl", "Slider2"), "70");
    // Out of range: brought to the slider's end.
    Store("Ctrl", "Slider2", "300");
    Open();
    EXPECT_EQ(panel->Slider(CSettingDlg::ContrastHighSlider)->value(), 100);
    EXPECT_EQ(SharedSettings.ContrastHigh, 101);
}

TEST_F(SettingsPanel, SpeedButtonsStayWithinOneToEight)
{
    const struct {
        const char* stored;
        int button;
        int presses;
        int expected;
    } cases[] = {
        {"", CSettingDlg::SpeedUpButton, 9, 8},  {"", CSettingDlg::SpeedDownButton, 1, 1},
        {"12", CSettingDlg::SpeedUpButton, 1, 8}, {"12", CSettingDlg::SpeedDownButton, 1, 11},
        {"16", CSettingDlg::SpeedUpButton, 0, 16}, {"17", CSettingDlg::SpeedUpButton, 0, 1},
    };
    for (const auto& c : cases) {
        Store("SettingWindow", "Oversample", c.stored);
        Open();
        for (int i = 0; i < c.presses; ++i)
            QTest::mouseClick(Button(c.button), Qt::LeftButton);
        EXPECT_EQ(SharedSettings.Oversample, c.expected) << c.stored << " " << c.button;
        Close();
    }
}

TEST_F(SettingsPanel, ButtonsAndListsReachTheirSettingsAndTheHost)
{
    CSettingDlg& p = Open();
    for (const int disabled : {1016, 1021, 1018}) {
        QTest::mouseClick(Button(disabled), Qt::LeftButton);
        EXPECT_EQ(p.ModeGroup()->checkedId(), 0) << "cannot be chosen";
    }
    EXPECT_EQ(host.mode, 0);
    QTest::mouseClick(Button(1015), Qt::LeftButton);
    EXPECT_EQ(host.mode, 2);
    QTest::mouseClick(Button(1017), Qt::LeftButton);
    EXPECT_EQ(host.mode, 1);

    const struct {
        int id;
        bool Settings::*setting;
    } checks[] = {
        {1003, &Settings::LogScale},     {1004, &Settings::Grid},     {1005, &Settings::HighEmphasis},
        {1008, &Settings::CursorGuide}, {1013, &Settings::Grid2},    {1012, &Settings::Pause},
    };
    for (const auto& c : checks) {
        const int repaints = host.repaints;
        QTest::mouseClick(Button(c.id), Qt::LeftButton);
        EXPECT_TRUE(SharedSettings.*c.setting) << c.id;
        EXPECT_GT(host.repaints, repaints) << "shown at once";
        QTest::mouseClick(Button(c.id), Qt::LeftButton);
        EXPECT_FALSE(SharedSettings.*c.setting) << c.id;
    }
    QTest::mouseClick(Button(1006), Qt::LeftButton);
    QTest::mouseClick(Button(1007), Qt::LeftButton);
    EXPECT_EQ(host.zoomIns, 1);
    EXPECT_EQ(host.zoomOuts, 1);

    const int builds = host.kernelBuilds;
    p.List(CSettingDlg::WindowTypeList)->setCurrentIndex(4);
    EXPECT_EQ(SharedSettings.WindowType, 4);
    EXPECT_EQ(host.kernelBuilds, builds + 1);
    p.List(CSettingDlg::ColorTypeList)->setCurrentIndex(1);
    EXPECT_EQ(SharedSettings.ColorType, 1);
    EXPECT_EQ(ColorMap[0], ColourOf(0.0f)) << "the table is rebuilt";
    p.List(CSettingDlg::WindowSizeList)->setCurrentIndex(2);
    EXPECT_EQ(SharedSettings.WindowSize, 2048);
}

TEST_F(SettingsPanel, HidingAndShowingRefillsTheListsAndKeepsTheChoices)
{
    Store("SettingWindow", "WindowType", "2");
    CSettingDlg& p = Open();
    p.List(CSettingDlg::WindowTypeList)->setCurrentIndex(5);
    p.List(CSettingDlg::ColorTypeList)->setCurrentIndex(2);
    p.List(CSettingDlg::WindowSizeList)->setCurrentIndex(4);
    const int builds = host.kernelBuilds;
    for (int i = 0; i < 2; ++i) {
        p.hide();
        p.show();
    }
    EXPECT_EQ(host.kernelBuilds, builds + 4) << "each show and hide runs the window-function handler";
    EXPECT_EQ(p.List(CSettingDlg::WindowTypeList)->count(), 10);
    EXPECT_EQ(p.List(CSettingDlg::ColorTypeList)->count(), 3);
    EXPECT_EQ(p.List(CSettingDlg::WindowSizeList)->count(), 5);
    EXPECT_EQ(SharedSettings.WindowType, 5);
    EXPECT_EQ(SharedSettings.ColorType, 2);
    EXPECT_EQ(SharedSettings.WindowSize, 8192);
}

TEST_F(SettingsPanel, EditsPublishNumbersAndAskForOneWhenTheTextIsNot)
{
    CSettingDlg& p = Open();
    QLineEdit* maxFreq = p.Page1()->Edit(1010);
    QLineEdit* minFreq = p.Page1()->Edit(1019);
    QLineEdit* threshold = p.Page1()->Edit(1022);
    const struct {
        const char* text;
        float expected;
        int requests;
    } cases[] = {{"50", 100.0f, 0}, {"30000", 24000.0f, 0}, {" 8000 ", 8000.0f, 0}, {"12abc", 8000.0f, 1},
                 {"", 8000.0f, 1}, {"1e3", 1000.0f, 0}};
    for (const auto& c : cases) {
        numberRequests.clear();
        maxFreq->setText(c.text);
        EXPECT_EQ(SharedSettings.MaxFreq, c.expected) << c.text;
        EXPECT_EQ(numberRequests.size(), c.requests) << c.text;
        EXPECT_EQ(maxFreq->text(), c.text) << "the edit shows what was typed";
    }
    // A bad edit keeps its own value and those after it.
    threshold->setText("2.5");
    EXPECT_EQ(SharedSettings.SignalThre, 2.5f) << "the same handler";
    minFreq->setText("x");
    threshold->setText("4");
    EXPECT_EQ(SharedSettings.SignalThre, 2.5f) << "the exchange stops at the bad edit before it";
    minFreq->setText("30");
    EXPECT_EQ(SharedSettings.AMinFreq, 30.0f);
    EXPECT_EQ(SharedSettings.SignalThre, 4.0f);

    QLineEdit* adjustment = p.Page2()->AdjustmentEdit();
    const int builds = host.kernelBuilds;
    const int bands = host.bandUpdates;
    numberRequests.clear();
    QTest::keyClicks(adjustment, ".5");  // "0." and "0.5": one change per key
    EXPECT_EQ(SharedSettings.CQAdjustmentValue, 0.5f);
    EXPECT_EQ(host.kernelBuilds, builds + 2);
    adjustment->clear();
    EXPECT_EQ(numberRequests.size(), 1);
    EXPECT_EQ(SharedSettings.CQAdjustmentValue, 0.5f);
    EXPECT_EQ(host.kernelBuilds, builds + 3) << "rebuilt even when the value stays";
    EXPECT_EQ(host.bandUpdates, bands + 3);

    QTest::mouseClick(p.Page2()->StereoBox(), Qt::LeftButton);
    EXPECT_EQ(SharedSettings.Stereo, 1);
    Close();
    EXPECT_EQ(Stored("SettingWindow", "MaxFreq"), "1000.00");
    EXPECT_EQ(Stored("SettingWindow", "Stereo"), "1");
    EXPECT_EQ(Stored("SettingWindow", "CQAdjustmentValue"), "0.50");
}

TEST_F(SettingsPanel, StoredNumbersThatAreNotFiniteReadAsMissing)
{
    Store("SettingWindow", "MaxFreq", "inf");
    Store("SettingWindow", "CQAdjustmentValue", "nan");
    Store("SettingWindow", "SignalThre", "-inf");
    Open();
    EXPECT_EQ(SharedSettings.MaxFreq, 22050.0f);
    EXPECT_EQ(SharedSettings.CQAdjustmentValue, 0.0f);
    EXPECT_EQ(SharedSettings.SignalThre, 0.0f);
}

} // namespace

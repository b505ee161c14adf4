#include "ui/setting_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>

#include "display/colour_map.h"
#include "dsp/window_functions.h"
#include "framework/data_exchange.h"
#include "framework/dialog_builder.h"
#include "framework/window_placement.h"
#include "resources/dialog_templates.h"
#include "settings/shared_settings.h"
#include "store/profile.h"
#include "store/stored_settings.h"
#include "ui/setting_page1.h"
#include "ui/setting_page2.h"
#include "ui/settings_host.h"

namespace {

const char* const ColorTypeNames[] = {"Normal", "Inversed", "Grayscale"};
const char* const WindowSizeNames[] = {"512", "1024", "2048", "4096", "8192"};

// The member each stored check box is exchanged through, in the order of
// StoredChecks.
int32_t CSettingDlg::* const CheckMembers[StoredCheckCount] = {
    &CSettingDlg::LogScale, &CSettingDlg::Grid,        &CSettingDlg::HighEmphasis,  &CSettingDlg::CursorGuide,
    &CSettingDlg::Grid2,    &CSettingDlg::WrapUnderCQ, &CSettingDlg::TempoDetector,
};

// Where the pages sit in the panel, in pixels at 96 dpi.
const QRect PageRectangle(12, 320, 214, 106);

void Refill(QComboBox* list, const char* const* names, int count)
{
    list->clear();
    for (int i = 0; i < count; ++i)
        list->addItem(QString::fromUtf8(names[i]));
}

} // namespace

CSettingDlg::CSettingDlg(CSettingsHost& host, CProfile& profile, QWidget* owner)
    : QDialog(owner), host(host), profile(profile)
{
    controls = BuildDialog(this, this, *FindDialogTemplate(SettingsPanelTemplate));
    OnInitDialog();
    Connect();
    show();
    PlaceSliders();
}

CSettingDlg::~CSettingDlg()
{
    OnDestroy();
}

QComboBox* CSettingDlg::List(int id) const
{
    return static_cast<QComboBox*>(Control(id));
}

QSlider* CSettingDlg::Slider(int id) const
{
    return static_cast<QSlider*>(Control(id));
}

QButtonGroup* CSettingDlg::ModeGroup() const
{
    return static_cast<QRadioButton*>(Control(FirstModeButton))->group();
}

QTabBar* CSettingDlg::Tabs() const
{
    return static_cast<QTabBar*>(Control(PageTabs));
}

bool CSettingDlg::OnInitDialog()
{
    RestorePlacement();
    ReadCheckBoxes();
    SharedSettings.Oversample = StoredOversample(profile);
    SetUpSliders();
    UpdateData(false);
    {
        const QSignalBlocker quiet(Tabs());
        Tabs()->addTab(QStringLiteral("Settings1"));
        Tabs()->addTab(QStringLiteral("Settings2"));
        Tabs()->setCurrentIndex(0);
    }
    CreatePages();
    RebuildColorMap();
    return true;
}

void CSettingDlg::ShowDisplayMode(int mode)
{
    const QAbstractButton* button = ModeGroup()->button(mode);
    DisplayMode = button && button->isEnabled() ? mode : -1;
    CDataExchange exchange(false);
    exchange.Radio(ModeGroup(), DisplayMode);
    DisplayMode = mode;
}

void CSettingDlg::ShowPause(bool on)
{
    Pause = on ? 1 : 0;
    CDataExchange(false).Check(static_cast<QAbstractButton*>(Control(PauseButton)), Pause);
}

void CSettingDlg::ShowTempoDetector(bool on)
{
    TempoDetector = on ? 1 : 0;
    CDataExchange(false).Check(static_cast<QAbstractButton*>(Control(TempoDetectorCheck)), TempoDetector);
}

void CSettingDlg::RestorePlacement()
{
    QRect placed;
    if (RestoreStoredRectangle(profile, SettingSection, placed)) {
        setGeometry(placed);
        return;
    }
    // Nothing stored: beside the main window.
    PlaceBesideOwner(this);
}

void CSettingDlg::ReadCheckBoxes()
{
    for (int i = 0; i < StoredCheckCount; ++i) {
        this->*CheckMembers[i] = profile.ReadInt(SettingSection, StoredChecks[i].key) != 0 ? 1 : 0;
        SharedSettings.*StoredChecks[i].setting = this->*CheckMembers[i] == 1;
    }
}

void CSettingDlg::SetUpSliders()
{
    Slider(ContrastLowSlider)->setRange(10, 100);
    Slider(ContrastHighSlider)->setRange(5, 100);
    SharedSettings.ContrastLow = StoredContrast(profile, "Slider1");
    SharedSettings.ContrastHigh = StoredContrast(profile, "Slider2");
    PlaceSliders();
}

// A slider shows one less than its contrast value, which is its position
// + 1; the slider keeps the position inside its range.
void CSettingDlg::PlaceSliders()
{
    const QSignalBlocker quietLow(Slider(ContrastLowSlider));
    const QSignalBlocker quietHigh(Slider(ContrastHighSlider));
    Slider(ContrastLowSlider)->setValue(SharedSettings.ContrastLow - 1);
    Slider(ContrastHighSlider)->setValue(SharedSettings.ContrastHigh - 1);
}

void CSettingDlg::CreatePages()
{
    page1 = new CSettingPage1(profile, this);
    page2 = new CSettingPage2(profile, host, this);
    const double scale = logicalDpiY() / 96.0;
    const QRect r(qRound(PageRectangle.x() * scale), qRound(PageRectangle.y() * scale),
                  qRound(PageRectangle.width() * scale), qRound(PageRectangle.height() * scale));
    page1->setGeometry(r);
    page2->setGeometry(r);
    page1->show();
    page2->hide();
}

void CSettingDlg::Connect()
{
    connect(Slider(ContrastLowSlider), &QSlider::valueChanged, this, [this] { OnContrastScroll(); });
    connect(Slider(ContrastHighSlider), &QSlider::valueChanged, this, [this] { OnContrastScroll(); });
    auto clicked = [this](int id, void (CSettingDlg::*handler)()) {
        connect(static_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this, handler);
    };
    clicked(LogScaleCheck, &CSettingDlg::OnLogScaleClicked);
    clicked(GridCheck, &CSettingDlg::OnGridClicked);
    for (const int id : {HighEmphasisCheck, CursorGuideCheck, PolesOnlyCheck, Grid2Check, WrapUnderCQCheck,
                         TempoDetectorCheck})
        clicked(id, &CSettingDlg::OnOptionClicked);
    clicked(PauseButton, &CSettingDlg::OnPauseClicked);
    clicked(ZoomInButton, &CSettingDlg::OnZoomIn);
    clicked(ZoomOutButton, &CSettingDlg::OnZoomOut);
    clicked(SpeedUpButton, &CSettingDlg::OnSpeedUp);
    clicked(SpeedDownButton, &CSettingDlg::OnSpeedDown);
    connect(ModeGroup(), &QButtonGroup::idClicked, this, [this] { OnModeClicked(); });
    auto selected = [this](int id, void (CSettingDlg::*handler)()) {
        connect(List(id), &QComboBox::currentIndexChanged, this, handler);
    };
    selected(WindowTypeList, &CSettingDlg::OnWindowTypeChange);
    selected(ColorTypeList, &CSettingDlg::OnColorTypeChange);
    selected(WindowSizeList, &CSettingDlg::OnWindowSizeChange);
    connect(Tabs(), &QTabBar::currentChanged, this, [this] { OnTabChange(); });
}

bool CSettingDlg::UpdateData(bool save)
{
    CDataExchange exchange(save);
    exchange.Check(static_cast<QAbstractButton*>(Control(LogScaleCheck)), LogScale);
    exchange.Check(static_cast<QAbstractButton*>(Control(GridCheck)), Grid);
    exchange.Check(static_cast<QAbstractButton*>(Control(HighEmphasisCheck)), HighEmphasis);
    exchange.Check(static_cast<QAbstractButton*>(Control(CursorGuideCheck)), CursorGuide);
    exchange.Check(static_cast<QAbstractButton*>(Control(PauseButton)), Pause);
    exchange.Check(static_cast<QAbstractButton*>(Control(PolesOnlyCheck)), PolesOnly);
    exchange.Check(static_cast<QAbstractButton*>(Control(Grid2Check)), Grid2);
    exchange.Radio(ModeGroup(), DisplayMode);
    exchange.Check(static_cast<QAbstractButton*>(Control(WrapUnderCQCheck)), WrapUnderCQ);
    exchange.Check(static_cast<QAbstractButton*>(Control(TempoDetectorCheck)), TempoDetector);
    return !exchange.Failed();
}

void CSettingDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    OnShowWindow();
}

void CSettingDlg::hideEvent(QHideEvent* e)
{
    QDialog::hideEvent(e);
    OnShowWindow();
}

// On every show and hide. The first filling takes the stored selections;
// later ones keep the selections in use, so that hiding and showing the
// panel (as minimising the main window does) changes nothing.
void CSettingDlg::OnShowWindow()
{
    if (destroyed)
        return;
    const bool fromStore = !listsFilled;
    FillWindowTypes(fromStore);
    FillColorTypes(fromStore);
    FillWindowSizes(fromStore);
    listsFilled = true;
}

void CSettingDlg::FillWindowTypes(bool fromStore)
{
    QComboBox* list = List(WindowTypeList);
    const int index = fromStore ? StoredWindowTypeIndex(profile) : list->currentIndex();
    {
        const QSignalBlocker quiet(list);
        Refill(list, WindowTypeNames, WindowTypeListSize);
        list->setCurrentIndex(index);
    }
    OnWindowTypeChange();
}

void CSettingDlg::FillColorTypes(bool fromStore)
{
    QComboBox* list = List(ColorTypeList);
    const int stored = fromStore ? profile.ReadInt(SettingSection, "ColorType") : list->currentIndex();
    const QSignalBlocker quiet(list);
    Refill(list, ColorTypeNames, ColorTypeListSize);
    SharedSettings.ColorType = ColorTypeOf(stored);
    list->setCurrentIndex(stored >= 0 && stored < ColorTypeListSize ? stored : -1);
    RebuildColorMap();
}

void CSettingDlg::FillWindowSizes(bool fromStore)
{
    QComboBox* list = List(WindowSizeList);
    const int index = fromStore ? StoredWindowSizeIndex(profile) : list->currentIndex();
    const QSignalBlocker quiet(list);
    Refill(list, WindowSizeNames, WindowSizeListSize);
    list->setCurrentIndex(index);
    SharedSettings.WindowSize = WindowSizeOf(list->currentIndex());
}

void CSettingDlg::OnWindowTypeChange()
{
    SharedSettings.WindowType = List(WindowTypeList)->currentIndex();
    host.ReconfigureConstantQ();
    host.UpdateCQWrapBand();
    host.RepaintPicture();
}

void CSettingDlg::OnColorTypeChange()
{
    const int index = List(ColorTypeList)->currentIndex();
    if (index >= 0 && index <= 2)
        SharedSettings.ColorType = index;
    RebuildColorMap();
    host.RepaintPicture();
}

void CSettingDlg::OnWindowSizeChange()
{
    SharedSettings.WindowSize = WindowSizeOf(List(WindowSizeList)->currentIndex());
    host.RepaintPicture();
}

void CSettingDlg::OnContrastScroll()
{
    UpdateData(true);
    SharedSettings.ContrastLow = Slider(ContrastLowSlider)->value() + 1;
    SharedSettings.ContrastHigh = Slider(ContrastHighSlider)->value() + 1;
    RebuildColorMap();
    host.RepaintPicture();
}

void CSettingDlg::OnLogScaleClicked()
{
    UpdateData(true);
    SharedSettings.LogScale = LogScale == 1;
    host.RepaintPicture();
}

void CSettingDlg::OnGridClicked()
{
    UpdateData(true);
    SharedSettings.Grid = Grid == 1;
    host.RepaintPicture();
}

void CSettingDlg::OnOptionClicked()
{
    UpdateData(true);
    SharedSettings.HighEmphasis = HighEmphasis == 1;
    SharedSettings.CursorGuide = CursorGuide == 1;
    SharedSettings.PolesOnly = PolesOnly == 1;
    SharedSettings.Grid2 = Grid2 == 1;
    SharedSettings.WrapUnderCQ = WrapUnderCQ == 1;
    SharedSettings.TempoDetector = TempoDetector == 1;
    host.RepaintPicture();
}

void CSettingDlg::OnPauseClicked()
{
    UpdateData(true);
    SharedSettings.Pause = Pause == 1;
    host.RepaintPicture();
}

void CSettingDlg::OnModeClicked()
{
    UpdateData(true);
    host.SetDisplayMode(DisplayMode);
    host.RepaintPicture();
}

void CSettingDlg::OnZoomIn()
{
    host.ZoomIn();
    host.RepaintPicture();
}

void CSettingDlg::OnZoomOut()
{
    host.ZoomOut();
    host.RepaintPicture();
}

void CSettingDlg::OnSpeedUp()
{
    SharedSettings.Oversample = std::min(SharedSettings.Oversample + 1, MaxOversample);
}

void CSettingDlg::OnSpeedDown()
{
    SharedSettings.Oversample = std::max(SharedSettings.Oversample - 1, 1);
}

void CSettingDlg::OnTabChange()
{
    const bool first = Tabs()->currentIndex() == 0;
    page1->setVisible(first);
    page2->setVisible(!first);
}

void CSettingDlg::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    const QRect r = geometry();
    profile.WriteInt(SliderSection, "Slider1", SharedSettings.ContrastLow);
    profile.WriteInt(SliderSection, "Slider2", SharedSettings.ContrastHigh);
    StoreRectangle(profile, SettingSection, r);
    for (int i = 0; i < StoredCheckCount; ++i)
        profile.WriteInt(SettingSection, StoredChecks[i].key, this->*CheckMembers[i] != 0 ? 1 : 0);
    profile.WriteInt(SettingSection, "WindowType", List(WindowTypeList)->currentIndex());
    profile.WriteInt(SettingSection, "ColorType", List(ColorTypeList)->currentIndex());
    profile.WriteInt(SettingSection, "WindowSize", List(WindowSizeList)->currentIndex());
    page1->OnDestroy();
    page2->OnDestroy();
}

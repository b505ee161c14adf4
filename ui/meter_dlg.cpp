#include "ui/meter_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>

#include "framework/window_placement.h"
#include "store/profile.h"
#include "ui/levels_page.h"
#include "ui/meter_panel.h"

namespace {

const char* const MeterSection = "Meter";

} // namespace

CMeterDlg::CMeterDlg(CProfile& profile, QWidget* owner) : QDialog(owner), profile(profile)
{
    setWindowTitle(QStringLiteral("Meter"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    pages = new QTabWidget(this);
    panel = new CMeterPanel(pages);
    levelsPage = new CLevelsPage(pages);
    pages->addTab(panel, QStringLiteral("Loudness"));
    pages->addTab(levelsPage, QStringLiteral("Levels"));
    resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setToolTip(
        QStringLiteral("Start the integrated loudness, range and maxima, and the integrated sound levels again (R)"));
    targetList = new QComboBox(this);
    for (const int lufs : Targets)
        targetList->addItem(QStringLiteral("Target %1 LUFS").arg(lufs), lufs);
    relativeBox = new QCheckBox(QStringLiteral("LU"), this);
    relativeBox->setToolTip(QStringLiteral("Loudness in LU relative to the target"));
    auto* controls = new QHBoxLayout;
    controls->addWidget(resetButton);
    controls->addStretch(1);
    controls->addWidget(targetList);
    controls->addWidget(relativeBox);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pages, 1);
    layout->addLayout(controls);
    connect(resetButton, &QPushButton::clicked, this, [this] { Reset(); });
    // R anywhere in the meter window, whichever control has the focus.
    for (QWidget* control :
         std::initializer_list<QWidget*>{panel, levelsPage, pages, resetButton, targetList, relativeBox})
        control->installEventFilter(this);
    connect(targetList, &QComboBox::currentIndexChanged, this, [this](int i) { SetTarget(Targets[i]); });
    connect(relativeBox, &QCheckBox::toggled, this, [this](bool on) { SetRelative(on); });

    // A unless "0" (Z) or "2" (C) is stored.
    char weighting[8] = "";
    profile.ReadString(MeterSection, "Weighting", weighting, sizeof weighting);
    const std::string stored = weighting;
    levelsPage->SetWeighting(stored == "0" ? Weighting::Z : stored == "2" ? Weighting::C : Weighting::A);
    ShowLevels(profile.ReadInt(MeterSection, "Page") == 1);
    connect(pages, &QTabWidget::currentChanged, this, [this](int page) {
        this->profile.WriteInt(MeterSection, "Page", page);
        if (levelsHandler)
            levelsHandler();
    });
    levelsPage->SetWeightingHandler([this](Weighting w) {
        this->profile.WriteInt(MeterSection, "Weighting", static_cast<int>(w));
        if (levelsHandler)
            levelsHandler();
    });
    const int target = profile.ReadInt(MeterSection, "Target");
    SetTarget(std::find(std::begin(Targets), std::end(Targets), target) != std::end(Targets) ? target : -23);
    SetRelative(profile.ReadInt(MeterSection, "Relative") != 0);
    resize(sizeHint());
    QRect rectangle;
    if (RestoreStoredRectangle(profile, MeterSection, rectangle)) {
        setGeometry(rectangle);
        placed = true;
    }
}

CMeterDlg::~CMeterDlg()
{
    OnDestroy();
}

void CMeterDlg::OnDestroy()
{
    if (destroyed)
        return;
    destroyed = true;
    StoreRectangle(profile, MeterSection, geometry());
}

void CMeterDlg::SetTarget(int lufs)
{
    target = lufs;
    const int index = targetList->findData(lufs);
    if (index >= 0 && index != targetList->currentIndex())
        targetList->setCurrentIndex(index);
    panel->SetScale(target, relative);
    profile.WriteInt(MeterSection, "Target", target);
}

void CMeterDlg::SetRelative(bool on)
{
    relative = on;
    if (relativeBox->isChecked() != on)
        relativeBox->setChecked(on);
    panel->SetScale(target, relative);
    profile.WriteInt(MeterSection, "Relative", on ? 1 : 0);
}

void CMeterDlg::SetReadings(const MeterReadings* readings)
{
    panel->SetReadings(readings);
}

void CMeterDlg::SetSoundLevels(const SoundLevelReadings* readings)
{
    levelsPage->SetReadings(readings);
}

void CMeterDlg::SetCalibration(bool calibrated, double offset, const QString& note)
{
    levelsPage->SetCalibration(calibrated, offset, note);
}

bool CMeterDlg::ShowsLevels() const
{
    return pages->currentWidget() == levelsPage;
}

void CMeterDlg::ShowLevels(bool on)
{
    pages->setCurrentWidget(on ? static_cast<QWidget*>(levelsPage) : panel);
}

Weighting CMeterDlg::SoundLevelWeighting() const
{
    return levelsPage->CurrentWeighting();
}

QImage CMeterDlg::Picture() const
{
    return panel->grab().toImage();
}

QString CMeterDlg::Numbers() const
{
    return panel->Numbers().join(QLatin1Char('\n'));
}

void CMeterDlg::Reset()
{
    if (resetHandler)
        resetHandler();
}

bool CMeterDlg::IsResetKey(QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(e);
    return key->key() == Qt::Key_R && key->modifiers() == Qt::NoModifier;
}

bool CMeterDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (IsResetKey(e)) {
        Reset();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void CMeterDlg::keyPressEvent(QKeyEvent* e)
{
    if (IsResetKey(e)) {
        Reset();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CMeterDlg::closeEvent(QCloseEvent* e)
{
    e->accept();
    if (closeHandler)
        closeHandler();
}

// Nothing stored: below the main window, where there is room, when first
// shown.
void CMeterDlg::showEvent(QShowEvent* e)
{
    if (!placed) {
        placed = true;
        PlaceBelowOwner(this);
    }
    QDialog::showEvent(e);
}

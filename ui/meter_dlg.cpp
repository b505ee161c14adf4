#include "ui/meter_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "framework/window_placement.h"
#include "store/profile.h"
#include "ui/meter_panel.h"

namespace {

const char* const MeterSection = "Meter";

} // namespace

CMeterDlg::CMeterDlg(CProfile& profile, QWidget* owner) : QDialog(owner), profile(profile)
{
    setWindowTitle(QStringLiteral("Meter"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    panel = new CMeterPanel(this);
    resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setToolTip(QStringLiteral("Start the integrated loudness, range and maxima again (R)"));
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
    layout->addWidget(panel, 1);
    layout->addLayout(controls);
    connect(resetButton, &QPushButton::clicked, this, [this] { Reset(); });
    // R anywhere in the meter window, whichever control has the focus.
    for (QWidget* control : std::initializer_list<QWidget*>{panel, resetButton, targetList, relativeBox})
        control->installEventFilter(this);
    connect(targetList, &QComboBox::currentIndexChanged, this, [this](int i) { SetTarget(Targets[i]); });
    connect(relativeBox, &QCheckBox::toggled, this, [this](bool on) { SetRelative(on); });

    const int stored = profile.ReadInt(MeterSection, "Target");
    SetTarget(std::find(std::begin(Targets), std::end(Targets), stored) != std::end(Targets) ? stored : -23);
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

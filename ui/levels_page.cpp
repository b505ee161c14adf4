#include "ui/levels_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/levels_readout.h"

namespace {

// The list's order.
constexpr Weighting Weightings[] = {Weighting::A, Weighting::C, Weighting::Z};

} // namespace

CLevelsPage::CLevelsPage(QWidget* parent) : QWidget(parent)
{
    weightingList = new QComboBox(this);
    for (const char* name : {"A weighting", "C weighting", "Z weighting"})
        weightingList->addItem(QString::fromLatin1(name));
    readout = new CLevelsReadout(this);
    calibrationNote = new QLabel(this);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(weightingList);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(readout);
    layout->addWidget(calibrationNote);
    layout->addStretch(1);
    connect(weightingList, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0 || Weightings[i] == weighting)
            return;
        weighting = Weightings[i];
        if (weightingHandler)
            weightingHandler(weighting);
        readout->SetWeighting(weighting);
    });
    SetCalibration(false, 0.0, QString());
}

void CLevelsPage::SetReadings(const SoundLevelReadings* r)
{
    readout->SetReadings(r);
}

void CLevelsPage::SetCalibration(bool on, double offset, const QString& note)
{
    calibrationNote->setText(on ? QStringLiteral("%1: %2 dB SPL at 0 dBFS").arg(note).arg(offset, 0, 'f', 1)
                                : QStringLiteral("Not calibrated: levels in dBFS (Calibrate\u2026 in the picture's menu)"));
    readout->SetUnit(on, offset);
}

void CLevelsPage::SetWeighting(Weighting w)
{
    weighting = w;
    for (int i = 0; i < 3; ++i)
        if (Weightings[i] == w && weightingList->currentIndex() != i)
            weightingList->setCurrentIndex(i);
    readout->SetWeighting(w);
}

QStringList CLevelsPage::Numbers() const
{
    return readout->Numbers();
}

bool CLevelsPage::OverloadShown() const
{
    return readout->OverloadShown();
}

#include "ui/calibration_dlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "analysis/wave_capture.h"
#include "store/calibration_store.h"
#include "store/microphone_file.h"

namespace {

QDoubleSpinBox* NumberBox(QWidget* parent, double lowest, double highest, double value, const QString& suffix)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(lowest, highest);
    box->setDecimals(2);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

} // namespace

CCalibrationDlg::CCalibrationDlg(CWaveCapture& capture, QWidget* owner) : QDialog(owner), engine(capture)
{
    setWindowTitle(QStringLiteral("Calibrate"));
    inputLabel = new QLabel(this);
    inputLabel->setWordWrap(true);

    auto* calibrator = new QGroupBox(QStringLiteral("Against a sound calibrator on the microphone"), this);
    calibratorLevel = new QComboBox(calibrator);
    calibratorLevel->setEditable(true);
    calibratorLevel->addItems({QStringLiteral("94.0"), QStringLiteral("104.0"), QStringLiteral("114.0")});
    measureButton = new QPushButton(QStringLiteral("Measure"), calibrator);
    progress = new QProgressBar(calibrator);
    progress->setRange(0, 100);
    status = new QLabel(calibrator);
    status->setWordWrap(true);
    auto* calibratorRow = new QHBoxLayout;
    calibratorRow->addWidget(new QLabel(QStringLiteral("Calibrator level (dB SPL):"), calibrator));
    calibratorRow->addWidget(calibratorLevel);
    calibratorRow->addWidget(measureButton);
    auto* calibratorLayout = new QVBoxLayout(calibrator);
    calibratorLayout->addLayout(calibratorRow);
    calibratorLayout->addWidget(progress);
    calibratorLayout->addWidget(status);

    auto* typed = new QGroupBox(QStringLiteral("Or typed, or from the microphone's sensitivity"), this);
    offsetBox = NumberBox(typed, 0.0, 200.0, 120.0, QStringLiteral(" dB SPL at 0 dBFS"));
    auto* useButton = new QPushButton(QStringLiteral("Use"), typed);
    sensitivityBox = NumberBox(typed, 0.01, 10000.0, 10.0, QStringLiteral(" mV/Pa"));
    fullScaleBox = NumberBox(typed, -60.0, 60.0, 4.0, QString());
    fullScaleUnit = new QComboBox(typed);
    fullScaleUnit->addItems({QStringLiteral("dBu"), QStringLiteral("V RMS")});
    auto* workOutButton = new QPushButton(QStringLiteral("Work out"), typed);
    auto* offsetRow = new QHBoxLayout;
    offsetRow->addWidget(offsetBox, 1);
    offsetRow->addWidget(useButton);
    auto* fullScaleRow = new QHBoxLayout;
    fullScaleRow->addWidget(fullScaleBox, 1);
    fullScaleRow->addWidget(fullScaleUnit);
    fullScaleRow->addWidget(workOutButton);
    auto* form = new QFormLayout(typed);
    form->addRow(QStringLiteral("Offset:"), offsetRow);
    form->addRow(QStringLiteral("Microphone:"), sensitivityBox);
    form->addRow(QStringLiteral("Input's full scale:"), fullScaleRow);

    auto* microphone = new QGroupBox(QStringLiteral("Microphone correction file"), this);
    microphoneFile = new QLineEdit(microphone);
    microphoneFile->setReadOnly(true);
    microphoneFile->setPlaceholderText(QStringLiteral("none"));
    auto* chooseButton = new QPushButton(QStringLiteral("Choose\u2026"), microphone);
    auto* noneButton = new QPushButton(QStringLiteral("None"), microphone);
    auto* microphoneRow = new QHBoxLayout(microphone);
    microphoneRow->addWidget(microphoneFile, 1);
    microphoneRow->addWidget(chooseButton);
    microphoneRow->addWidget(noneButton);

    auto* forgetButton = new QPushButton(QStringLiteral("Read dBFS"), this);
    forgetButton->setToolTip(QStringLiteral("Forget this input's calibration"));
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(forgetButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputLabel);
    layout->addWidget(calibrator);
    layout->addWidget(typed);
    layout->addWidget(microphone);
    layout->addLayout(buttons);

    connect(measureButton, &QPushButton::clicked, this, [this] { Measure(); });
    connect(useButton, &QPushButton::clicked, this, [this] { UseTypedOffset(); });
    connect(workOutButton, &QPushButton::clicked, this, [this] { WorkOutOffset(); });
    connect(forgetButton, &QPushButton::clicked, this, [this] {
        if (forgetHandler)
            forgetHandler();
        status->setText(QStringLiteral("The input reads dBFS again."));
    });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    connect(chooseButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Microphone correction file"),
                                                          microphoneFile->text(),
                                                          QStringLiteral("Text files (*.txt *.cal *.frd *.csv);;All files (*)"));
        if (!path.isEmpty())
            UseMicrophoneFile(path);
    });
    connect(noneButton, &QPushButton::clicked, this, [this] { UseMicrophoneFile(QString()); });
    poll.setInterval(100);
    connect(&poll, &QTimer::timeout, this, [this] { Poll(); });
}

CCalibrationDlg::~CCalibrationDlg()
{
    StopMeasuring();
}

void CCalibrationDlg::SetHandlers(std::function<bool(double)> use, std::function<void()> forget,
                                  std::function<QString(const QString&)> microphone)
{
    useHandler = std::move(use);
    forgetHandler = std::move(forget);
    microphoneHandler = std::move(microphone);
}

void CCalibrationDlg::UseMicrophoneFile(const QString& path)
{
    const QString problem = microphoneHandler ? microphoneHandler(path) : QString();
    if (!problem.isEmpty()) {
        status->setText(QStringLiteral("The microphone file is not taken: %1.").arg(problem));
        return;
    }
    microphoneFile->setText(path);
    QString text = path.isEmpty() ? QStringLiteral("No microphone file.")
                                  : QStringLiteral("The microphone file corrects the spectrum, the bands and the levels.");
    MicrophoneResponse response;
    std::string error;
    if (!path.isEmpty() && ReadMicrophoneFile(QFile::encodeName(path).toStdString(), response, error) &&
        !response.sensitivityLine.empty())
        text += QStringLiteral(" Its header says \"%1\"; that is shown, not applied (see the README).")
                    .arg(QString::fromStdString(response.sensitivityLine));
    status->setText(text);
}

void CCalibrationDlg::SetInput(const QString& name, bool calibrated, double offset, const QString& microphonePath)
{
    microphoneFile->setText(microphonePath);
    inputLabel->setText(calibrated ? QStringLiteral("Input: %1, now %2 dB SPL at 0 dBFS").arg(name).arg(offset, 0, 'f', 2)
                                   : QStringLiteral("Input: %1, not calibrated (dBFS)").arg(name));
    if (calibrated)
        offsetBox->setValue(offset);
}

void CCalibrationDlg::Measure()
{
    bool number = false;
    const double level = calibratorLevel->currentText().toDouble(&number);
    if (!number || level < 0.0 || level > 200.0) {
        status->setText(QStringLiteral("The calibrator's level is not a number of dB SPL."));
        return;
    }
    StopMeasuring();
    measurement = std::make_unique<CCalibrationMeasurement>(level);
    engine.AddConsumer(measurement.get());
    measureButton->setEnabled(false);
    progress->setValue(0);
    status->setText(QStringLiteral("Measuring the calibrator's tone\u2026"));
    poll.start();
}

void CCalibrationDlg::Poll()
{
    if (!measurement)
        return;
    progress->setValue(static_cast<int>(measurement->Progress() * 100.0));
    if (!measurement->Done())
        return;
    const CCalibrationMeasurement::Result result = measurement->Outcome();
    StopMeasuring();
    if (result.verdict != CCalibrationMeasurement::Verdict::Taken) {
        status->setText(QString::fromStdString(result.message));
        return;
    }
    offsetBox->setValue(result.offset);
    const bool kept = useHandler && useHandler(result.offset);
    status->setText(kept ? QStringLiteral("Taken: the band at 1 kHz read %1 dBFS, so 0 dBFS is %2 dB SPL.")
                               .arg(result.bandLevel, 0, 'f', 2)
                               .arg(result.offset, 0, 'f', 2)
                         : QStringLiteral("Measured, but the calibration could not be kept."));
}

void CCalibrationDlg::StopMeasuring()
{
    poll.stop();
    if (measurement)
        engine.RemoveConsumer(measurement.get());
    measurement.reset();
    measureButton->setEnabled(true);
}

void CCalibrationDlg::UseTypedOffset()
{
    if (useHandler && useHandler(offsetBox->value()))
        status->setText(QStringLiteral("0 dBFS is now %1 dB SPL.").arg(offsetBox->value(), 0, 'f', 2));
}

void CCalibrationDlg::WorkOutOffset()
{
    const double fullScale = fullScaleUnit->currentIndex() == 0 ? VoltsFromDbu(fullScaleBox->value())
                                                                : fullScaleBox->value();
    if (fullScale <= 0.0) {
        status->setText(QStringLiteral("The input's full scale must be above 0 V."));
        return;
    }
    offsetBox->setValue(OffsetFromSensitivity(sensitivityBox->value(), fullScale));
    status->setText(QStringLiteral("Worked out: 20 lg(full scale / (sensitivity \u00d7 20 \u00b5Pa)). Press Use to take it."));
}

QString CCalibrationDlg::Status() const
{
    return status->text();
}

void CCalibrationDlg::closeEvent(QCloseEvent* e)
{
    StopMeasuring();
    progress->setValue(0);
    e->accept();
}

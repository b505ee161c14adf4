#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dsp/signal_generator.h"

class CProfile;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

// "Generator…": the test signal played to a PulseAudio sink - pink or white
// noise, a sine, a logarithmic sweep - at a level in dBFS, on the left, the
// right or both channels; started and stopped by its button. A level above
// -6 dBFS asks first, once each time the program runs; the window opens at
// -20 dBFS, or at the level kept when that is quieter. The window keeps its
// rectangle and choices in section [Generator] (Signal, Level, Frequency,
// SweepStart, SweepEnd, SweepSeconds, Channels, Sink).
class CGeneratorDlg : public QDialog {
public:
    static constexpr double LoudLevel = -6.0;
    // Asks whether to play at `level` dBFS; a message box unless replaced
    // (null: the message box again), and asks again.
    using LoudConfirmer = std::function<bool(QWidget* parent, double level)>;
    static void SetLoudConfirmer(LoudConfirmer confirmer);

    CGeneratorDlg(CProfile& profile, QWidget* owner);
    ~CGeneratorDlg() override;

    // What starting (the choices and the sink's name, empty for the
    // default; returns why it cannot play, or ""), stopping and changing a
    // choice while it plays do.
    void SetHandlers(std::function<QString(const GeneratorSettings&, const std::string&)> start,
                     std::function<void()> stop, std::function<void(const GeneratorSettings&)> changed);
    // The sinks to choose among: name and description.
    void SetSinks(const std::vector<std::pair<std::string, std::string>>& sinks);
    // What the generator does now: playing, its crest factor, underruns,
    // clipped samples, or why it stopped ("" for nothing wrong).
    void ShowStatus(bool playing, double crestFactorDb, long underruns, long clipped, const QString& failure);

    GeneratorSettings Settings() const;
    std::string Sink() const;
    bool Playing() const { return playing; }
    // The Start/Stop button's click.
    void StartOrStop();
    QString Status() const;
    QDoubleSpinBox* LevelBox() const { return level; }
    QComboBox* SignalList() const { return signal; }

protected:
    void closeEvent(class QCloseEvent* e) override;

private:
    void Load();
    void Store() const;
    void Changed();
    void ShowChoices();
    bool ConfirmLevel();

    CProfile& profile;
    QComboBox* signal = nullptr;
    QDoubleSpinBox* level = nullptr;
    QDoubleSpinBox* frequency = nullptr;
    QDoubleSpinBox* sweepStart = nullptr;
    QDoubleSpinBox* sweepEnd = nullptr;
    QDoubleSpinBox* sweepSeconds = nullptr;
    QComboBox* channels = nullptr;
    QComboBox* sink = nullptr;
    QPushButton* button = nullptr;
    QLabel* status = nullptr;
    std::string storedSink;
    bool playing = false;
    bool loading = false;
    std::function<QString(const GeneratorSettings&, const std::string&)> start;
    std::function<void()> stop;
    std::function<void(const GeneratorSettings&)> changed;
};

#include "app/measure_menu.h"

#include "settings/measure_settings.h"
#include "store/stored_settings.h"

CMeasureMenu::CMeasureMenu(CProfile& profile, QWidget* parent, std::function<void()> changed,
                           std::function<void()> resetMeasurement)
    : CChoiceMenu(QStringLiteral("Measure"), parent), profile(profile), changed(std::move(changed))
{
    MeasureSettings& s = SharedMeasureSettings;
    const auto keep = [this] {
        StoreMeasureSettings(this->profile, SharedMeasureSettings);
        this->changed();
    };
    AddGroup(QStringLiteral("Averaging"), &s.Averaging,
             {{"Off", 0}, {"Fast (0.125 s)", 1}, {"Slow (1 s)", 2}, {"4 s", 3}, {"Linear (since the reset)", 4}}, keep);
    AddGroup(QStringLiteral("Peak hold"), &s.PeakHold, {{"Off", 0}, {"Held until reset", 1}, {"Falling 10 dB/s", 2}},
             keep);
    addSeparator();
    AddGroup(QStringLiteral("Bands"), &s.BandsPerOctave,
             {{"1/1 octave", 1}, {"1/3 octave", 3}, {"1/6 octave", 6}, {"1/12 octave", 12}}, keep);
    AddGroup(QStringLiteral("Frequency weighting"), &s.Weighting, {{"A", 1}, {"C", 2}, {"Z", 0}}, keep);
    AddGroup(QStringLiteral("Time weighting"), &s.TimeWeighting, {{"Fast (0.125 s)", 0}, {"Slow (1 s)", 1}}, keep);
    addSeparator();
    // R itself is the main window's key (a shortcut would be the meter
    // window's too, a tool window of it).
    reset = addAction(QStringLiteral("Reset measurement\tR"));
    connect(reset, &QAction::triggered, this, [this, resetMeasurement] {
        resetMeasurement();
        this->changed();
    });
}

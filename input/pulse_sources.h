#pragma once

#include <string>
#include <vector>

struct PulseSource {
    std::string name;
    std::string description;
    bool isDefault;
};

// The capture sources of the PulseAudio server that PULSE_SERVER (or the
// usual default) names. Returns false, with the server's message in
// `problem`, when no server answers within a few seconds.
bool ListPulseSources(std::vector<PulseSource>& sources, std::string& problem);

#pragma once

#include <memory>
#include <string>

#include "input/wave_input.h"

// Records from the PulseAudio source `sourceName`, or from the server's
// default source when the name is empty, through the asynchronous API: the
// server's packets are copied into the queued buffers on PulseAudio's own
// main-loop thread, with no reader thread beside it. WaveOk and an open,
// stopped device, or WaveErrorDevice with what went wrong in `message`.
int OpenPulseInput(const std::string& sourceName, const WaveFormat& format, WaveNotifyTarget* target,
                   std::unique_ptr<WaveInput>& device, std::string& message);

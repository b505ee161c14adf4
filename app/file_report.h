#pragma once

struct ReportRequest;
class CProfile;

// tavimeter --report: the numbers of each input file (FileMeasurement) as
// JSON lines or CSV, on standard output or written whole into --out. Files
// are measured one per core at a time; their reports come in the order of
// the inputs. Progress goes to standard error when it is a terminal.
// With --input-name, that input's calibration and microphone file (from
// `profile`, the program's settings) apply: levels in dB SPL. Returns the
// exit status: 1 when any file could not be measured, the report not
// written or the microphone file not read, 2 when --out names one of the
// inputs.
int ReportFiles(const ReportRequest& request, CProfile& profile);

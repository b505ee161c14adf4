#pragma once

struct ReportRequest;

// tavimeter --report: the numbers of each input file (FileMeasurement) as
// JSON lines or CSV, on standard output or written whole into --out. Files
// are measured one per core at a time; their reports come in the order of
// the inputs. Progress goes to standard error when it is a terminal.
// Returns the exit status: 1 when any file could not be measured or the
// report not written, 2 when --out names one of the inputs.
int ReportFiles(const ReportRequest& request);

#pragma once

struct CommandLine;
class CProfile;

// tavimeter --render: the picture of each input file as a PNG, drawn
// without a window on Qt's offscreen platform, so that no display is
// needed. Returns the exit status: 1 when any file could not be drawn or
// written.
int RenderFiles(char* program, const CommandLine& line, CProfile& profile);

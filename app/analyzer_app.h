#pragma once

// The application: reads the command line, opens the sound input and runs
// the main window until it is closed.
class CAnalyzerApp {
public:
    // Returns the process's exit status.
    int InitInstance(int argc, char** argv);
};

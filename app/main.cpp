#include "app/analyzer_app.h"
#include "app/log_file.h"
#include "app/profile.h"

// The process-wide objects, in the order of their construction: the
// application, the INI store (its path is fixed here) and the log file.
CAnalyzerApp TheApp;
CProfile Profile;
CLogFile LogFile;

int main(int argc, char** argv)
{
    return TheApp.InitInstance(argc, argv);
}

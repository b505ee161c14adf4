#include "app/analyzer_app.h"
#include "store/log_file.h"
#include "store/profile.h"

// The process-wide objects, in the order of their construction: the
// application, the INI store (its path is fixed here) and the log file.
CAnalyzerApp TheApp;
CProfile Profile;
CLogFile LogFile;

int main(int argc, char** argv)
{
    return TheApp.InitInstance(argc, argv);
}

#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>
#include <string>

#include "dsp/subnormals.h"

// The Qt tests run with the offscreen platform, its windows without frames,
// on one screen of 800 x 800 pixels, or as the file TAVI_TEST_SCREENS names
// says (see tests/gui/screens).
int main(int argc, char** argv)
{
    const char* screens = std::getenv("TAVI_TEST_SCREENS");
    const std::string platform = std::string("offscreen:configfile=") + (screens ? screens : TAVI_DEFAULT_SCREENS);
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    QApplication application(argc, argv);
    // As the program does: numbers in the C library always use '.', and
    // subnormal numbers are flushed to zero.
    std::setlocale(LC_NUMERIC, "C");
    FlushSubnormalsOnThisThread();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

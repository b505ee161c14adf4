#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>

// The Qt tests run with the offscreen platform.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // As the program does: numbers in the C library always use '.'.
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

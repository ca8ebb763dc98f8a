#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs with an application object on the offscreen platform, so widgets,
// fonts, images and screen readers behave as in the program.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

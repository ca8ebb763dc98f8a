#include <QCoreApplication>
#include <gtest/gtest.h>

// No display of its own: each test starts a virtual one and the installer on it.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

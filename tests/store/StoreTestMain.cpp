#include <QCoreApplication>

#include <gtest/gtest.h>

// The Qt SQL drivers are plugins, and loading them needs an application
// object; one lives for the whole test run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

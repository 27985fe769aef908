#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The windows need an application object; the tests run on the offscreen platform unless the
// environment names another.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

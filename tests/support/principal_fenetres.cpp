// main() of the test programs that need a QApplication. The windows are real
// widgets on the offscreen platform unless QT_QPA_PLATFORM names another, so
// that the test programs also run when CTest lists their tests at build time.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

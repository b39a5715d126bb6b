#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#ifdef ORVEX_GUI_TEST
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Shared entry point of every test executable: a Qt application object exists
// for the whole run, windows go to the offscreen platform, and the process
// never touches the user's own runtime folder.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QTemporaryDir runtime;
    if (!std::getenv("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
#ifdef ORVEX_GUI_TEST
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

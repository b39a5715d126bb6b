// orvex: the desktop program.
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/OrvexApplication.h"
#include "mainwindow/TOrvex.h"
#include "workspace/InstanceLock.h"
#include "workspace/Settings.h"

#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    // The embedded browser refuses to run as root without this.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationName("orvex");
    orvex::OrvexApplication app(argc, argv);
    QGuiApplication::setApplicationDisplayName("Tolvane Orvex 1.3");

    orvex::SingleInstance instance;
    if (!instance.Acquire())
        return 0; // another Orvex runs: leave it undisturbed

    const std::filesystem::path programFolder =
        QCoreApplication::applicationDirPath().toStdString();
    orvex::WorkspaceLock workspaceLock(programFolder);
    if (!workspaceLock.Acquire(10000)) {
        orvex::ShowMessage(nullptr, orvex::MessageKind::Error,
                           QString::fromStdString(workspaceLock.holderMessage()));
        return 1;
    }
    app.setShowErrors(orvex::ErrShowMarkerExists(programFolder));

    orvex::TOrvex window(programFolder);
    if (!window.Start())
        return 1;
    window.show();
    return app.exec();
}

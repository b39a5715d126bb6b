// orvex: the desktop program.
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/TOrvex.h"
#include "workspace/InstanceLock.h"
#include "workspace/Settings.h"

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <unistd.h>

namespace {

// Exceptions that reach the event loop are swallowed, or shown when the
// marker file errshow.dbg lay in the program folder at start-up.
class OrvexApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool showErrors = false;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            if (showErrors)
                orvex::ShowMessage(nullptr, orvex::MessageKind::Plain, QString::fromUtf8(error.what()));
        } catch (...) {
            if (showErrors)
                orvex::ShowMessage(nullptr, orvex::MessageKind::Plain, "Unknown error.");
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    // The embedded browser refuses to run as root without this.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setApplicationName("orvex");
    OrvexApplication app(argc, argv);
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
    app.showErrors = orvex::ErrShowMarkerExists(programFolder);

    orvex::TOrvex window(programFolder);
    if (!window.Start())
        return 1;
    window.show();
    return app.exec();
}

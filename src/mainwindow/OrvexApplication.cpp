#include "mainwindow/OrvexApplication.h"

#include "mainwindow/MessageBoxes.h"

#include <exception>

namespace orvex {

bool OrvexApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportException(showErrors_, error.what());
    } catch (...) {
        ReportException(showErrors_, "Unknown error.");
    }
    return false;
}

void OrvexApplication::ReportException(bool showErrors, const char* what)
{
    if (showErrors)
        ShowMessage(nullptr, MessageKind::Plain, QString::fromUtf8(what));
}

} // namespace orvex

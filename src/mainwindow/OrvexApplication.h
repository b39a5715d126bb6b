#pragma once

#include <QApplication>

namespace orvex {

// The application object. Exceptions that reach the event loop are swallowed,
// or shown in a plain message box when the marker file errshow.dbg lay in the
// program folder at start-up.
class OrvexApplication : public QApplication
{
public:
    using QApplication::QApplication;

    void setShowErrors(bool show) { showErrors_ = show; }
    bool notify(QObject* receiver, QEvent* event) override;

    // What notify does with an exception; shared with tests.
    static void ReportException(bool showErrors, const char* what);

private:
    bool showErrors_ = false;
};

} // namespace orvex

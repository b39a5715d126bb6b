#pragma once

#include <QObject>

namespace orvex {

class TOrvex;

// The commands that edit the open project's URL list by hand, select rows,
// and open a URL in the web browser.
class UrlCommands : public QObject
{
    Q_OBJECT
public:
    explicit UrlCommands(TOrvex& window);
    void Connect();

    void NewUrl();
    void EditUrl();
    void DeleteSelected();
    void DeleteFailed();
    void SelectAll();
    void DeselectAll();
    void InvertSelection();
    void OpenUrl();

private:
    enum class Selection { All, None, Invert };
    void ChangeSelection(Selection change);
    void SelectAfterRemoval(int remembered);

    TOrvex& window_;
    bool dialogOpen_ = false;
};

} // namespace orvex

#pragma once

#include "workspace/Status.h"

#include <QObject>

namespace orvex {

class TOrvex;

// The Review menu: Reload Review, Generate Review and the three styles.
class ReviewCommands : public QObject
{
    Q_OBJECT
public:
    explicit ReviewCommands(TOrvex& window);
    void Connect();

    void ChooseStyle(int style);
    void ReloadReview();
    void GenerateReview();
    // Writes the three review pages of the open project from the URL list,
    // with the status bar's progress bar; stops when the program is closing.
    // Leaves the busy lock, the list and the review pane alone.
    Status WriteReviews();

private:
    TOrvex& window_;
};

} // namespace orvex

#pragma once

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

private:
    TOrvex& window_;
};

} // namespace orvex

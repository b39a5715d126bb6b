#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace orvex {

// The one-line address input of New URL and Edit URL. exec() returns
// QDialog::Accepted for "Save"; Enter in the edit box acts as "Save".
class UrlInputDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxLength = 2048;

    // The edit starts as "http://".
    UrlInputDialog(const QString& caption, QWidget* parent);

    void setText(const QString& text);
    QString text() const; // as typed; the caller trims

    QLineEdit* edit() const { return edit_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace orvex

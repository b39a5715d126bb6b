#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace orvex {

// Asks for a project's title and description, for New Project and Rename
// Project. exec() returns QDialog::Accepted for "Save".
class ProjectDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { New, Rename }; // captions "New Project:" / "Rename Project:"

    static constexpr int kTitleMaxLength = 128;
    static constexpr int kDescriptionMaxLength = 256;

    // titleExists is asked about the trimmed title in New mode only.
    ProjectDialog(Mode mode, std::function<bool(const QString& trimmedTitle)> titleExists,
                  QWidget* parent);

    void setTitle(const QString& title);
    void setDescription(const QString& description);
    // As typed; the caller trims.
    QString title() const;
    QString description() const;

    QLineEdit* titleEdit() const { return title_; }
    QPlainTextEdit* descriptionEdit() const { return description_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool refuseDuplicateTitle();
    void titleLostFocus(Qt::FocusReason reason);
    void titleEnterPressed();
    void saveClicked();

    Mode mode_;
    std::function<bool(const QString&)> titleExists_;
    QLineEdit* title_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool dropNextPress_ = false; // the click that moved the focus was answered by a refusal
    bool finishing_ = false;     // closing: losing the focus now is no reason to check
};

// Keeps a plain-text editor at most maxLength characters long, whatever way
// the text arrives (typing, pasting, dropping, setting): the surplus of the
// latest insertion is cut away, the text around it stays.
void LimitPlainTextLength(QPlainTextEdit* edit, int maxLength);

} // namespace orvex

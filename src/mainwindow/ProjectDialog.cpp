#include "mainwindow/ProjectDialog.h"

#include "mainwindow/MessageBoxes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace orvex {

namespace {

const char* const kDuplicateTitle = "Project already exists!     ";

bool IsEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

void LimitPlainTextLength(QPlainTextEdit* edit, int maxLength)
{
    // Where the latest change put its text; read once the change is complete.
    auto lastInsertEnd = std::make_shared<int>(0);
    QObject::connect(
        edit->document(), &QTextDocument::contentsChange, edit,
        [lastInsertEnd](int position, int, int added) { *lastInsertEnd = position + added; });
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, maxLength, lastInsertEnd] {
        const QString text = edit->toPlainText();
        const int surplus = int(text.size()) - maxLength;
        if (surplus <= 0)
            return;
        int end = std::min(*lastInsertEnd, int(text.size()));
        if (end < surplus)
            end = int(text.size());
        int start = end - surplus;
        if (start > 0 && text.at(start).isLowSurrogate())
            --start; // never leave half a character behind
        QTextCursor cursor(edit->document());
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        edit->setTextCursor(cursor);
    });
}

ProjectDialog::ProjectDialog(Mode mode, std::function<bool(const QString&)> titleExists,
                             QWidget* parent)
    : QDialog(parent), mode_(mode), titleExists_(std::move(titleExists))
{
    setWindowTitle(mode == Mode::New ? QStringLiteral("New Project:")
                                     : QStringLiteral("Rename Project:"));

    auto* titleLabel = new QLabel(QStringLiteral("Title:"), this);
    title_ = new QLineEdit(this);
    title_->setMaxLength(kTitleMaxLength);
    title_->setText(QStringLiteral("Project"));
    titleLabel->setBuddy(title_);

    auto* descriptionLabel = new QLabel(QStringLiteral("Description:"), this);
    description_ = new QPlainTextEdit(this);
    description_->setTabChangesFocus(true);
    LimitPlainTextLength(description_, kDescriptionMaxLength);
    descriptionLabel->setBuddy(description_);

    const QFontMetrics metrics = fontMetrics();
    const int width = metrics.averageCharWidth() * 56;
    title_->setFixedWidth(width);
    description_->setFixedSize(width, metrics.lineSpacing() * 6 + 2 * description_->frameWidth() +
                                          int(description_->document()->documentMargin() * 2));

    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(save_, &QPushButton::clicked, this, &ProjectDialog::saveClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(titleLabel);
    layout->addWidget(title_);
    layout->addSpacing(6);
    layout->addWidget(descriptionLabel);
    layout->addWidget(description_);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    title_->installEventFilter(this);
    save_->installEventFilter(this);
    cancel_->installEventFilter(this);
}

void ProjectDialog::setTitle(const QString& title)
{
    title_->setText(title);
}

void ProjectDialog::setDescription(const QString& description)
{
    description_->setPlainText(description);
}

QString ProjectDialog::title() const
{
    return title_->text();
}

QString ProjectDialog::description() const
{
    return description_->toPlainText();
}

void ProjectDialog::done(int result)
{
    finishing_ = true;
    QDialog::done(result);
}

void ProjectDialog::showEvent(QShowEvent* event)
{
    finishing_ = false;
    QDialog::showEvent(event);
    title_->setFocus();
    title_->selectAll();
}

bool ProjectDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == title_) {
        if (event->type() == QEvent::FocusOut)
            titleLostFocus(static_cast<QFocusEvent*>(event)->reason());
        else if (IsEnter(event)) {
            titleEnterPressed();
            return true; // handled here, not by the default button
        }
    } else if (event->type() == QEvent::MouseButtonPress && dropNextPress_) {
        dropNextPress_ = false;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Shows the refusal and puts the user back into the title when the title is
// already taken (New mode only).
bool ProjectDialog::refuseDuplicateTitle()
{
    if (mode_ != Mode::New || !titleExists_ || !titleExists_(title_->text().trimmed()))
        return false;
    ShowMessage(this, MessageKind::Error, QString::fromLatin1(kDuplicateTitle));
    title_->setFocus(Qt::OtherFocusReason);
    title_->selectAll();
    return true;
}

void ProjectDialog::titleLostFocus(Qt::FocusReason reason)
{
    // Switching windows, opening a context menu or closing the dialog is not
    // leaving the field; heading for Cancel needs no verdict on the title.
    if (finishing_ || !isVisible() || reason == Qt::ActiveWindowFocusReason ||
        reason == Qt::PopupFocusReason || QApplication::focusWidget() == cancel_)
        return;
    if (!refuseDuplicateTitle() || reason != Qt::MouseFocusReason)
        return;
    // The mouse press that moved the focus arrives right after this; it must
    // not go on to click a button (Save would report the same title again).
    dropNextPress_ = true;
    QTimer::singleShot(0, this, [this] { dropNextPress_ = false; });
}

void ProjectDialog::titleEnterPressed()
{
    if (refuseDuplicateTitle())
        return;
    accept();
}

void ProjectDialog::saveClicked()
{
    // Checked again here so that a taken title can never be saved.
    if (refuseDuplicateTitle())
        return;
    accept();
}

} // namespace orvex

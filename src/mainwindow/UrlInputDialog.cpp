#include "mainwindow/UrlInputDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

UrlInputDialog::UrlInputDialog(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(caption);

    edit_ = new QLineEdit(this);
    edit_->setMaxLength(kMaxLength);
    edit_->setText(QStringLiteral("http://"));
    edit_->setFixedWidth(edit_->fontMetrics().averageCharWidth() * 80);

    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    // Enter in the edit box reaches the default button.
    save_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(edit_);
    layout->addSpacing(8);
    layout->addWidget(buttons);
}

void UrlInputDialog::setText(const QString& text)
{
    edit_->setText(text);
}

QString UrlInputDialog::text() const
{
    return edit_->text();
}

void UrlInputDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Selected as a whole, so a pasted address replaces the text.
    edit_->setFocus();
    edit_->selectAll();
}

} // namespace orvex

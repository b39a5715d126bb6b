#include "mainwindow/AboutBox.h"

#include "mainwindow/Artwork.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLabel* ValueLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse); // easy to quote in a report
    return label;
}

} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About..."));

    auto* picture = new QLabel(this);
    picture->setPixmap(ProductPicture());
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel(QString::fromLatin1(kProductTitle), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    title->setFont(titleFont);

    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(16);
    facts->setVerticalSpacing(4);
    facts->addWidget(new QLabel(QStringLiteral("Version"), this), 0, 0);
    facts->addWidget(ValueLabel(QString::fromLatin1(kVersion), this), 0, 1);
    facts->addWidget(new QLabel(QStringLiteral("Build"), this), 1, 0);
    facts->addWidget(ValueLabel(QString::fromLatin1(kBuild), this), 1, 1);
    facts->setColumnStretch(1, 1);

    auto* text = new QVBoxLayout;
    text->setSpacing(10);
    text->addWidget(title);
    text->addLayout(facts);
    text->addStretch(1);

    auto* body = new QHBoxLayout;
    body->setSpacing(20);
    body->addWidget(picture);
    body->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(body);
    layout->addSpacing(12);
    layout->addWidget(buttons);
}

} // namespace orvex

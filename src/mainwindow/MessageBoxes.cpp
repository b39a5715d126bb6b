#include "mainwindow/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace orvex {

namespace {

MessageAnswerer& Answerer()
{
    static MessageAnswerer answerer;
    return answerer;
}

QMessageBox::Icon IconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Question:
        return QMessageBox::Question;
    case MessageKind::DeleteProjects:
        return QMessageBox::Warning;
    case MessageKind::Information:
    case MessageKind::CheckResult:
    case MessageKind::Done:
        return QMessageBox::Information;
    case MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString MessageCaption(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error:
        return QStringLiteral("Error...");
    case MessageKind::Question:
        return QStringLiteral("Confirmation:");
    case MessageKind::DeleteProjects:
        return QStringLiteral("Confirmation");
    case MessageKind::Information:
        return QStringLiteral("Information...");
    case MessageKind::CheckResult:
        return QStringLiteral("Check Result:");
    case MessageKind::Done:
        return QString();
    case MessageKind::Plain:
        return QGuiApplication::applicationDisplayName();
    }
    return QString();
}

bool IsQuestion(MessageKind kind)
{
    return kind == MessageKind::Question || kind == MessageKind::DeleteProjects;
}

bool ShowMessage(QWidget* parent, MessageKind kind, const QString& text)
{
    const ShownMessage message{kind, MessageCaption(kind), text};
    if (Answerer())
        return Answerer()(message);

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(message.caption);
    box.setIcon(IconOf(kind));
    // Exception texts and page titles may contain '<'; never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (IsQuestion(kind)) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    return IsQuestion(kind) ? answer == QMessageBox::Yes : true;
}

void SetMessageAnswerer(MessageAnswerer answerer)
{
    Answerer() = std::move(answerer);
}

ScopedMessageAnswerer::ScopedMessageAnswerer(MessageAnswerer answerer)
{
    SetMessageAnswerer(std::move(answerer));
}

ScopedMessageAnswerer::~ScopedMessageAnswerer()
{
    SetMessageAnswerer({});
}

} // namespace orvex

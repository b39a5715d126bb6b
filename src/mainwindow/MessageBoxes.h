#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace orvex {

// Every message the user sees goes through one of these kinds; each has a
// fixed caption, icon and set of buttons.
enum class MessageKind {
    Error,          // caption "Error...", critical icon, OK
    Question,       // caption "Confirmation:", question icon, Yes/No, No default
    DeleteProjects, // caption "Confirmation", warning icon, Yes/No, No default
    Information,    // caption "Information...", information icon
    CheckResult,    // caption "Check Result:", information icon
    Done,           // empty caption, information icon (used for "Ok!      ")
    Plain,          // plain box, no icon, caption = application display name (exception texts)
};

struct ShownMessage
{
    MessageKind kind;
    QString caption;
    QString text;
};

// Shows the box modally, always on top of other windows, owned by parent (or
// the active window). Returns true for Yes on a question; every other kind
// returns true once dismissed. The text is shown as plain text, blanks kept.
bool ShowMessage(QWidget* parent, MessageKind kind, const QString& text);

QString MessageCaption(MessageKind kind);

// True for the kinds that ask Yes or No.
bool IsQuestion(MessageKind kind);

// Test hook: while set, no box is shown; the answerer receives each message
// and its return value is the answer.
using MessageAnswerer = std::function<bool(const ShownMessage&)>;
void SetMessageAnswerer(MessageAnswerer answerer); // empty function = show real boxes again

// Installs an answerer for the lifetime of the object, then restores real boxes.
class ScopedMessageAnswerer
{
public:
    explicit ScopedMessageAnswerer(MessageAnswerer answerer);
    ~ScopedMessageAnswerer();
    ScopedMessageAnswerer(const ScopedMessageAnswerer&) = delete;
    ScopedMessageAnswerer& operator=(const ScopedMessageAnswerer&) = delete;
};

} // namespace orvex

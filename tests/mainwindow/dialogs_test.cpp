#include "mainwindow/AboutBox.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/ProjectDialog.h"
#include "mainwindow/UrlInputDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvex;

namespace {

const QString kDuplicateMessage = QStringLiteral("Project already exists!     ");

// Records every message instead of showing it.
struct MessageLog
{
    std::vector<ShownMessage> shown;
    ScopedMessageAnswerer hook{[this](const ShownMessage& m) {
        shown.push_back(m);
        return true;
    }};
};

void ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

void ReplaceText(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

// ---- message boxes -------------------------------------------------------

struct KindCase
{
    MessageKind kind;
    const char* caption;
    QMessageBox::Icon icon;
    bool question;
};

const KindCase kKinds[] = {
    {MessageKind::Error, "Error...", QMessageBox::Critical, false},
    {MessageKind::Question, "Confirmation:", QMessageBox::Question, true},
    {MessageKind::DeleteProjects, "Confirmation", QMessageBox::Warning, true},
    {MessageKind::Information, "Information...", QMessageBox::Information, false},
    {MessageKind::CheckResult, "Check Result:", QMessageBox::Information, false},
    {MessageKind::Done, "", QMessageBox::Information, false},
    {MessageKind::Plain, "Orvex Test Name", QMessageBox::NoIcon, false},
};

TEST(MessageBoxes, RealBoxHasCaptionIconButtonsAndStaysOnTop)
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Orvex Test Name"));
    QWidget owner;
    owner.show();
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(MessageCaption(c.kind), QString::fromLatin1(c.caption));
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            inspected = true;
            EXPECT_EQ(box->parentWidget(), &owner);
            EXPECT_EQ(box->windowTitle(), QString::fromLatin1(c.caption));
            EXPECT_EQ(box->text(), QStringLiteral("a <b>text</b>   "));
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
            if (c.question) {
                EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
                EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            } else {
                EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            }
            // Enter takes the default: No for questions, OK otherwise.
            QTest::keyClick(box, Qt::Key_Return);
        });
        const bool answer = ShowMessage(&owner, c.kind, QStringLiteral("a <b>text</b>   "));
        EXPECT_TRUE(inspected);
        EXPECT_EQ(answer, !c.question);
    }
}

TEST(MessageBoxes, YesAnswersAQuestion)
{
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    EXPECT_TRUE(ShowMessage(nullptr, MessageKind::Question, QStringLiteral("Sure?")));
}

TEST(MessageBoxes, AnswererReceivesMessageAndItsAnswerIsReturned)
{
    std::vector<ShownMessage> seen;
    bool answer = false;
    {
        ScopedMessageAnswerer hook([&](const ShownMessage& m) {
            seen.push_back(m);
            return answer;
        });
        EXPECT_FALSE(ShowMessage(nullptr, MessageKind::DeleteProjects, QStringLiteral("Delete? ")));
        answer = true;
        EXPECT_TRUE(ShowMessage(nullptr, MessageKind::Error, QStringLiteral("Error!    ")));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, MessageKind::DeleteProjects);
    EXPECT_EQ(seen[0].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(seen[0].text, QStringLiteral("Delete? "));
    EXPECT_EQ(seen[1].kind, MessageKind::Error);
    EXPECT_EQ(seen[1].caption, QStringLiteral("Error..."));
    EXPECT_EQ(seen[1].text, QStringLiteral("Error!    "));

    // Once the hook is gone, real boxes come back.
    bool realBox = false;
    QTimer::singleShot(0, [&] {
        realBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr;
        if (QWidget* box = QApplication::activeModalWidget())
            QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowMessage(nullptr, MessageKind::Information, QStringLiteral("x"));
    EXPECT_TRUE(realBox);
    EXPECT_EQ(seen.size(), 2u);
}

// ---- project dialog ------------------------------------------------------

class ProjectDialogTest : public ::testing::Test
{
protected:
    std::unique_ptr<ProjectDialog> open(ProjectDialog::Mode mode)
    {
        auto dialog = std::make_unique<ProjectDialog>(
            mode,
            [this](const QString& title) {
                asked << title;
                return existing.contains(title);
            },
            &owner);
        ShowActive(dialog.get());
        return dialog;
    }

    void expectRefusedOnce(ProjectDialog& dialog)
    {
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_EQ(log.shown[0].kind, MessageKind::Error);
        EXPECT_EQ(log.shown[0].caption, QStringLiteral("Error..."));
        EXPECT_EQ(log.shown[0].text, kDuplicateMessage);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(QApplication::focusWidget(), dialog.titleEdit());
    }

    QWidget owner;
    QStringList existing{QStringLiteral("Alpha"), QStringLiteral("Project")};
    QStringList asked;
    MessageLog log;
};

TEST_F(ProjectDialogTest, NewDialogShowsItsFieldsAndDefaults)
{
    auto dialog = open(ProjectDialog::Mode::New);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("New Project:"));
    EXPECT_EQ(dialog->title(), QStringLiteral("Project"));
    EXPECT_EQ(dialog->description(), QString());
    EXPECT_EQ(dialog->saveButton()->text(), QStringLiteral("Save"));
    EXPECT_EQ(dialog->cancelButton()->text(), QStringLiteral("Cancel"));
    QStringList labels;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("Title:")));
    EXPECT_TRUE(labels.contains(QStringLiteral("Description:")));
    EXPECT_EQ(QApplication::focusWidget(), dialog->titleEdit());
}

TEST_F(ProjectDialogTest, EnterInTitleChecksTheTrimmedTitleExactly)
{
    const struct
    {
        const char* typed;
        bool refused;
    } cases[] = {{"Alpha", true},  {"  Alpha   ", true}, {"alpha", false},
                 {"ALPHA", false}, {"Beta", false},      {"Alpha2", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        log.shown.clear();
        auto dialog = open(ProjectDialog::Mode::New);
        ReplaceText(dialog->titleEdit(), QString::fromLatin1(c.typed));
        QTest::keyClick(dialog->titleEdit(), Qt::Key_Return);
        EXPECT_EQ(asked.last(), QString::fromLatin1(c.typed).trimmed());
        if (c.refused) {
            expectRefusedOnce(*dialog);
            EXPECT_NE(dialog->result(), QDialog::Accepted);
        } else {
            EXPECT_TRUE(log.shown.empty());
            EXPECT_FALSE(dialog->isVisible());
            EXPECT_EQ(dialog->result(), QDialog::Accepted);
        }
    }
}

TEST_F(ProjectDialogTest, LeavingTheTitleChecksIt)
{
    auto dialog = open(ProjectDialog::Mode::New);
    ReplaceText(dialog->titleEdit(), QStringLiteral("Alpha"));
    QTest::keyClick(dialog->titleEdit(), Qt::Key_Tab);
    expectRefusedOnce(*dialog);

    log.shown.clear();
    ReplaceText(dialog->titleEdit(), QStringLiteral("Gamma"));
    QTest::keyClick(dialog->titleEdit(), Qt::Key_Tab);
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(QApplication::focusWidget(), dialog->descriptionEdit());
}

TEST_F(ProjectDialogTest, SaveNeverSavesATakenTitle)
{
    auto dialog = open(ProjectDialog::Mode::New);
    // The click moves the focus out of the title and presses Save: one message only.
    ReplaceText(dialog->titleEdit(), QStringLiteral("Alpha"));
    QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    expectRefusedOnce(*dialog);
    EXPECT_NE(dialog->result(), QDialog::Accepted);

    // Save pressed while the focus is elsewhere repeats the check itself.
    ReplaceText(dialog->titleEdit(), QStringLiteral("Gamma"));
    dialog->descriptionEdit()->setFocus();
    dialog->setTitle(QStringLiteral("Project"));
    log.shown.clear();
    dialog->saveButton()->click();
    expectRefusedOnce(*dialog);

    log.shown.clear();
    ReplaceText(dialog->titleEdit(), QStringLiteral("Gamma"));
    QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ProjectDialogTest, CancelAndCloseBoxRejectWithoutChecking)
{
    auto dialog = open(ProjectDialog::Mode::New);
    ReplaceText(dialog->titleEdit(), QStringLiteral("Alpha"));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    auto second = open(ProjectDialog::Mode::New);
    ReplaceText(second->titleEdit(), QStringLiteral("Alpha"));
    second->close();
    EXPECT_FALSE(second->isVisible());
    EXPECT_EQ(second->result(), QDialog::Rejected);
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(ProjectDialogTest, ExecReportsSaveAndCancel)
{
    for (const bool save : {true, false}) {
        ProjectDialog dialog(
            ProjectDialog::Mode::New, [](const QString&) { return false; }, &owner);
        QTimer::singleShot(0, [&] {
            QTest::mouseClick(save ? dialog.saveButton() : dialog.cancelButton(), Qt::LeftButton);
        });
        EXPECT_EQ(dialog.exec(), save ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST_F(ProjectDialogTest, FieldsKeepTheirLengthLimits)
{
    auto dialog = open(ProjectDialog::Mode::New);
    ReplaceText(dialog->titleEdit(), QString(200, QLatin1Char('t')));
    EXPECT_EQ(dialog->title(), QString(128, QLatin1Char('t')));

    QPlainTextEdit* memo = dialog->descriptionEdit();
    memo->setFocus();
    QTest::keyClicks(memo, QString(250, QLatin1Char('d')));
    QTest::keyClick(memo, Qt::Key_Return); // a new line, not the end of the dialog
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClicks(memo, QString(20, QLatin1Char('e')));
    EXPECT_EQ(dialog->description(),
              QString(250, QLatin1Char('d')) + QLatin1Char('\n') + QString(5, QLatin1Char('e')));

    // A paste in the middle keeps what follows it and loses its own surplus.
    dialog->setDescription(QStringLiteral("head|tail"));
    EXPECT_EQ(dialog->description(), QStringLiteral("head|tail"));
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(5);
    memo->setTextCursor(cursor);
    QApplication::clipboard()->setText(QString(300, QLatin1Char('p')));
    memo->paste();
    EXPECT_EQ(dialog->description(),
              QStringLiteral("head|") + QString(247, QLatin1Char('p')) + QStringLiteral("tail"));

    // A text set from outside is held to the limit as well.
    dialog->setDescription(QString(400, QLatin1Char('s')));
    EXPECT_EQ(dialog->description().size(), 256);
}

TEST_F(ProjectDialogTest, DescriptionLimitNeverSplitsACharacter)
{
    auto dialog = open(ProjectDialog::Mode::New);
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // two UTF-16 units
    dialog->setDescription(QString(255, QLatin1Char('a')));
    QTextCursor cursor = dialog->descriptionEdit()->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(clef);
    EXPECT_EQ(dialog->description(), QString(255, QLatin1Char('a')));
}

TEST_F(ProjectDialogTest, RenameAcceptsEnterWithoutChecking)
{
    auto dialog = open(ProjectDialog::Mode::Rename);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Rename Project:"));
    dialog->setTitle(QStringLiteral("Alpha"));
    dialog->setDescription(QStringLiteral("first line"));
    EXPECT_EQ(dialog->titleEdit()->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(dialog->descriptionEdit()->toPlainText(), QStringLiteral("first line"));

    dialog->titleEdit()->setFocus();
    QTest::keyClick(dialog->titleEdit(), Qt::Key_Tab);
    QTest::keyClick(dialog->descriptionEdit(), Qt::Key_Backtab);
    QTest::keyClick(dialog->titleEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(log.shown.empty());
}

// ---- URL input -----------------------------------------------------------

TEST(UrlInputDialog, StartsWithHttpAndEnterSaves)
{
    QWidget owner;
    UrlInputDialog dialog(QStringLiteral("New URL:"), &owner);
    ShowActive(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("New URL:"));
    EXPECT_EQ(dialog.text(), QStringLiteral("http://"));
    EXPECT_EQ(dialog.saveButton()->text(), QStringLiteral("Save"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(QApplication::focusWidget(), dialog.edit());

    QTest::keyClick(dialog.edit(), Qt::Key_End);
    QTest::keyClicks(dialog.edit(), QStringLiteral("example.org/a b "));
    QTest::keyClick(dialog.edit(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.text(), QStringLiteral("http://example.org/a b "));
}

TEST(UrlInputDialog, EditingReplacesTheWholeTextAndCancelRejects)
{
    QWidget owner;
    UrlInputDialog dialog(QStringLiteral("Edit URL:"), &owner);
    dialog.setText(QStringLiteral("http://old.example/"));
    QTimer::singleShot(0, [&] {
        // The text starts selected, so what is typed replaces it.
        QTest::keyClicks(dialog.edit(), QStringLiteral("https://new.example/"));
        EXPECT_EQ(dialog.text(), QStringLiteral("https://new.example/"));
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);

    dialog.setText(QString(3000, QLatin1Char('u')));
    EXPECT_EQ(dialog.text().size(), 2048);
}

// ---- about box -----------------------------------------------------------

TEST(AboutBox, ShowsTitleVersionAndBuild)
{
    QWidget owner;
    AboutBox box(&owner);
    ShowActive(&box);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About..."));
    auto labelWith = [&](const QString& text) -> QLabel* {
        for (QLabel* label : box.findChildren<QLabel*>())
            if (label->text() == text)
                return label;
        return nullptr;
    };
    EXPECT_NE(labelWith(QStringLiteral("Tolvane Orvex 1.3")), nullptr);
    // Each value stands to the right of its label, on the same line.
    const struct
    {
        const char* label;
        const char* value;
    } facts[] = {{"Version", "1.3"}, {"Build", "190"}};
    for (const auto& f : facts) {
        QLabel* label = labelWith(QString::fromLatin1(f.label));
        QLabel* value = labelWith(QString::fromLatin1(f.value));
        ASSERT_NE(label, nullptr) << f.label;
        ASSERT_NE(value, nullptr) << f.value;
        EXPECT_TRUE(value->isVisible());
        EXPECT_GT(value->x(), label->x() + label->width() - 1);
        EXPECT_EQ(value->geometry().center().y(), label->geometry().center().y());
    }
    bool hasPicture = false;
    for (QLabel* label : box.findChildren<QLabel*>())
        hasPicture = hasPicture || !label->pixmap().isNull();
    EXPECT_TRUE(hasPicture);

    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.isVisible());
}

// ---- shared window behaviour ---------------------------------------------

TEST(Dialogs, FixedSizeAndCentredOnTheirOwner)
{
    // The owner lies well inside the screen, so nothing needs to be pushed back onto it.
    QWidget owner;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    owner.resize(700, 500);
    owner.move(screen.center() - QPoint(350, 250) + QPoint(30, 20));
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    const std::vector<std::function<QDialog*(QWidget*)>> makers = {
        [](QWidget* p) { return new ProjectDialog(ProjectDialog::Mode::New, {}, p); },
        [](QWidget* p) { return new UrlInputDialog(QStringLiteral("New URL:"), p); },
        [](QWidget* p) { return new AboutBox(p); },
    };
    for (const auto& make : makers) {
        std::unique_ptr<QDialog> dialog(make(&owner));
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_EQ(dialog->size(), dialog->minimumSize());
        const QPoint offset = dialog->frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 4);
    }
}

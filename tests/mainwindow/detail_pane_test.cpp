// The URL detail pane: what it shows for a row and its captured files,
// content length texts, unreadable and hostile inputs, view switching, clearing.

#include "mainwindow/DetailPane.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

using namespace orvex;

// Readable failure messages for texts.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const std::string kId = "5hmeiwmdphn21i3v900";

struct Capture
{
    std::string title = "Example page";
    std::string keywords;
    std::string description;
    HttpProperties properties;
};

Capture WithProperties(HttpProperties properties)
{
    Capture capture;
    capture.properties = std::move(properties);
    return capture;
}

std::string MakeRow(const std::string& id, const Capture& capture = {})
{
    RecordList records{MakeUrlRecord(id, "00000003", "05/14/2007 13:45:30", "http://example.com/")};
    SetUrlField(records, 0, capture.title, UrlField::Title);
    SetUrlField(records, 0, capture.keywords, UrlField::Keywords);
    SetUrlField(records, 0, capture.description, UrlField::Description);
    SetUrlField(records, 0, PackProperties(capture.properties), UrlField::Properties);
    return BuildUrlRow(records[0], 0);
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class DetailPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        // Nested, so that "../../x" from the project folder still lands inside the temporary folder.
        project = root.path() + "/Projects/00000003";
        QDir().mkpath(project + "/Screenshot");
        QDir().mkpath(project + "/Data");
        pane.resize(300, 600);
        pane.show();
    }

    void fill(const std::string& row) { pane.fill(row, project.toStdString()); }

    void writeThumbnail(const std::string& id, QColor colour)
    {
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(project + "/Screenshot/" + QString::fromStdString(id) + ".jpg", "JPEG"));
    }

    QColor pictureCentre()
    {
        const QImage shown = pane.picture()->grab().toImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }

    void expectEmpty()
    {
        for (QLineEdit* field : {pane.contentLength(), pane.contentType(), pane.charset(), pane.lastModified()})
            EXPECT_EQ(field->text(), QString());
        for (QPlainTextEdit* text : {pane.keywords(), pane.description(), pane.htmlView(), pane.textView()})
            EXPECT_EQ(text->toPlainText(), QString());
        EXPECT_FALSE(pane.hasPicture());
    }

    QTemporaryDir root;
    QString project;
    DetailPane pane;
};

} // namespace

TEST_F(DetailPaneTest, NeverCapturedUrlShowsZeroKilobytesAndNothingElse)
{
    fill(MakeRow(kId));
    EXPECT_EQ(pane.title(), "Example page");
    EXPECT_EQ(pane.contentLength()->text(), "0 KB");
    for (QLineEdit* field : {pane.contentType(), pane.charset(), pane.lastModified()})
        EXPECT_EQ(field->text(), QString());
    EXPECT_FALSE(pane.hasPicture());
    EXPECT_EQ(pane.htmlView()->toPlainText(), QString());
    EXPECT_EQ(pane.textView()->toPlainText(), QString());
}

TEST_F(DetailPaneTest, ContentLengthInKilobytes)
{
    const struct { std::string stored; QLocale locale; QString shown; } cases[] = {
        {"0", QLocale::c(), ""},
        {"12345", QLocale::c(), "12.056 KB"},
        {"2048", QLocale::c(), "2 KB"},
        {"12345", QLocale(QLocale::German, QLocale::Germany), "12,056 KB"},
        {"12x45", QLocale::c(), "0 KB"}, // damaged: not a number
    };
    for (const auto& c : cases) {
        QLocale::setDefault(c.locale);
        fill(MakeRow(kId, WithProperties({c.stored, "text/html", "utf-8", ""})));
        EXPECT_EQ(pane.contentLength()->text(), c.shown) << c.stored;
    }
}

TEST_F(DetailPaneTest, ShowsPropertiesMemosAndCapturedFiles)
{
    Capture capture{"  Padded title  ", "news, weather", "Today's forecast",
                    {"2048", "text/html; charset=utf-8", "utf-8", "05/01/2007 08:00:00"}};
    writeThumbnail(kId, Qt::red);
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".htm", "<html>\n<body>Hi</body>\n</html>\n");
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".txt", "Hi\nthere");
    fill(MakeRow(kId, capture));

    EXPECT_EQ(pane.title(), "Padded title");
    EXPECT_EQ(pane.contentLength()->text(), "2 KB");
    EXPECT_EQ(pane.contentType()->text(), "text/html; charset=utf-8");
    EXPECT_EQ(pane.charset()->text(), "utf-8");
    EXPECT_EQ(pane.lastModified()->text(), "05/01/2007 08:00:00");
    EXPECT_EQ(pane.keywords()->toPlainText(), "news, weather");
    EXPECT_EQ(pane.description()->toPlainText(), "Today's forecast");
    EXPECT_EQ(pane.htmlView()->toPlainText(), "<html>\n<body>Hi</body>\n</html>\n");
    EXPECT_EQ(pane.textView()->toPlainText(), "Hi\nthere");
    ASSERT_TRUE(pane.hasPicture());
    const QColor centre = pictureCentre();
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 60);
    EXPECT_EQ(pane.screenshotPath(), std::filesystem::path(project.toStdString()) / "Screenshot" / (kId + ".png"));
}

TEST_F(DetailPaneTest, UnreadableThumbnailLeavesPictureEmpty)
{
    WriteFile(project + "/Screenshot/" + QString::fromStdString(kId) + ".jpg", QByteArray(5000, '\x5a'));
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".txt", "still shown");
    fill(MakeRow(kId));
    EXPECT_FALSE(pane.hasPicture());
    EXPECT_EQ(pane.textView()->toPlainText(), "still shown");
}

TEST_F(DetailPaneTest, TextFilesAreReadAsUtf8WithAnyLineEnd)
{
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".txt",
              "caf\xc3\xa9\r\nbad \xff byte\rlast");
    fill(MakeRow(kId));
    EXPECT_EQ(pane.textView()->toPlainText(), QString::fromUtf8("caf\xc3\xa9\nbad \xef\xbf\xbd byte\nlast"));
}

// Several megabytes load in well under a second or two, including one unbroken
// line (minified HTML, text without breaks), which is shown in pieces.
TEST_F(DetailPaneTest, LargeFilesAreLoadedWhole)
{
    QByteArray lines;
    const QByteArray line = "<p class=\"item\">A line of a long captured page, with some text in it.</p>\n";
    while (lines.size() < 5 * 1024 * 1024)
        lines += line;
    QByteArray words;
    while (words.size() < 5 * 1024 * 1024)
        words += "word, and more ";
    const QByteArray unbroken(5 * 1024 * 1024, 'x');
    const struct { QByteArray bytes; const char* ext; QPlainTextEdit* view; } cases[] = {
        {lines, ".htm", pane.htmlView()},
        {words, ".htm", pane.htmlView()},
        {unbroken, ".txt", pane.textView()},
        {words, ".txt", pane.textView()},
    };
    for (const auto& c : cases) {
        WriteFile(project + "/Data/" + QString::fromStdString(kId) + c.ext, c.bytes);
        QElapsedTimer timer;
        timer.start();
        fill(MakeRow(kId));
        pane.showView(c.view == pane.htmlView() ? DetailPane::View::Html : DetailPane::View::Text);
        c.view->moveCursor(QTextCursor::End);
        QCoreApplication::processEvents();
        EXPECT_LT(timer.elapsed(), 15000) << c.ext;
        const QString shown = c.view->toPlainText();
        EXPECT_EQ(QString(shown).remove('\n').toUtf8(), QByteArray(c.bytes).replace('\n', ""));
        if (c.bytes.contains('\n')) { // ordinary lines are shown as they are
            EXPECT_EQ(shown, QString::fromUtf8(c.bytes));
        }
        QFile::remove(project + "/Data/" + QString::fromStdString(kId) + c.ext);
    }
}

// A row's Id names files only when it is a proper id: anything else must not
// reach outside the project's folders, nor read files under a wrong name.
TEST_F(DetailPaneTest, IdThatIsNotAProperIdNeverNamesAFile)
{
    for (const std::string id : {"../../etc/passwd", "../Data/x", "ABCDEFGHIJKLMNOPQRS", "5hmeiwmd phn21i3v90"}) {
        const QString name = QString::fromStdString(id);
        for (const QString& folder : {QStringLiteral("/Screenshot/"), QStringLiteral("/Data/")}) {
            WriteFile(project + folder + name + ".htm", "secret");
            WriteFile(project + folder + name + ".txt", "secret");
        }
        QImage(64, 48, QImage::Format_RGB32).save(project + "/Screenshot/" + name + ".jpg", "JPEG");
        ASSERT_TRUE(QFile::exists(project + "/Data/" + name + ".htm")) << id;

        fill(MakeRow(id, WithProperties({"2048", "text/html", "", ""})));
        EXPECT_EQ(pane.contentLength()->text(), "2 KB") << id; // the row itself is still shown
        EXPECT_FALSE(pane.hasPicture()) << id;
        EXPECT_EQ(pane.htmlView()->toPlainText(), QString()) << id;
        EXPECT_EQ(pane.textView()->toPlainText(), QString()) << id;
        EXPECT_TRUE(pane.screenshotPath().empty()) << id;
    }
}

TEST_F(DetailPaneTest, ExactlyOneViewIsShown)
{
    EXPECT_EQ(pane.view(), DetailPane::View::Properties);
    using View = DetailPane::View;
    for (View view : {View::Html, View::Text, View::Properties, View::Text}) {
        pane.showView(view);
        EXPECT_EQ(pane.view(), view);
        EXPECT_EQ(pane.picture()->isVisible(), view == View::Properties);
        EXPECT_EQ(pane.contentLength()->isVisible(), view == View::Properties);
        EXPECT_EQ(pane.htmlView()->isVisible(), view == View::Html);
        EXPECT_EQ(pane.textView()->isVisible(), view == View::Text);
    }
}

TEST_F(DetailPaneTest, PropertiesPageShowsItsLabels)
{
    QStringList shown;
    for (QLabel* label : pane.findChildren<QLabel*>())
        if (label->isVisible())
            shown << label->text();
    for (const char* label : {" Content Length", " Content Type", " Charset", " Last Modified", "Keywords:", "Description:"})
        EXPECT_TRUE(shown.contains(QString::fromLatin1(label))) << label;
    for (QLineEdit* field : {pane.contentLength(), pane.contentType(), pane.charset(), pane.lastModified()})
        EXPECT_TRUE(field->isReadOnly());
}

TEST_F(DetailPaneTest, ClearAndRefillLeaveNothingOfTheLastRow)
{
    const Capture capture{"Title", "kw", "desc", {"12345", "text/html", "utf-8", "05/01/2007 08:00:00"}};
    writeThumbnail(kId, Qt::blue);
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".htm", "<html/>");
    WriteFile(project + "/Data/" + QString::fromStdString(kId) + ".txt", "text");

    fill(MakeRow(kId, capture));
    ASSERT_TRUE(pane.hasPicture());
    pane.clear();
    expectEmpty();

    fill(MakeRow(kId, capture));
    ASSERT_TRUE(pane.hasPicture());
    Capture other;
    other.title = "Other";
    fill(MakeRow("5hmeiwmdphn21i3v901", other)); // never captured, no files
    EXPECT_EQ(pane.title(), "Other");
    EXPECT_EQ(pane.contentLength()->text(), "0 KB");
    pane.contentLength()->clear();
    expectEmpty();
}

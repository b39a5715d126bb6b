#pragma once

#include <QString>
#include <QWidget>

#include <filesystem>
#include <string_view>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedWidget;

namespace orvex {

// What the update worker captured for one URL: its thumbnail, HTTP
// properties, keywords and description, and on two further views the page's
// HTML source and plain text. The pane only shows; it never changes data.
class DetailPane : public QWidget
{
    Q_OBJECT

public:
    enum class View { Properties, Html, Text };

    explicit DetailPane(QWidget* parent = nullptr);

    void showView(View view);
    View view() const { return m_view; }

    // Empties every field, memo and view and drops the picture.
    void clear();
    // Shows one URL list row; its captured files are looked up in the project folder.
    void fill(std::string_view row, const std::filesystem::path& projectFolder);

    // The trimmed title of the row last filled, for the window's header line.
    QString title() const { return m_title; }
    bool hasPicture() const;
    // <project folder>/Screenshot/<Id>.png of the row last filled; empty when
    // its Id cannot name a file.
    std::filesystem::path screenshotPath() const { return m_screenshotPath; }

    QLabel* picture() const { return m_picture; }
    QLineEdit* contentLength() const { return m_contentLength; }
    QLineEdit* contentType() const { return m_contentType; }
    QLineEdit* charset() const { return m_charset; }
    QLineEdit* lastModified() const { return m_lastModified; }
    QPlainTextEdit* keywords() const { return m_keywords; }
    QPlainTextEdit* description() const { return m_description; }
    QPlainTextEdit* htmlView() const { return m_htmlView; }
    QPlainTextEdit* textView() const { return m_textView; }

private:
    QWidget* makePropertiesPage();
    QLineEdit* addProperty(QGridLayout* grid, int row, const QString& label);
    QPlainTextEdit* makeMemo();

    View m_view = View::Properties;
    QString m_title;
    std::filesystem::path m_screenshotPath;

    QStackedWidget* m_stack = nullptr;
    QLabel* m_picture = nullptr;
    QLineEdit* m_contentLength = nullptr;
    QLineEdit* m_contentType = nullptr;
    QLineEdit* m_charset = nullptr;
    QLineEdit* m_lastModified = nullptr;
    QPlainTextEdit* m_keywords = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QPlainTextEdit* m_htmlView = nullptr;
    QPlainTextEdit* m_textView = nullptr;
};

} // namespace orvex

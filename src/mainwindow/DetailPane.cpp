#include "mainwindow/DetailPane.h"

#include "mainwindow/logic/DetailText.h"
#include "workspace/FixedText.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"

#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace fs = std::filesystem;

namespace orvex {

namespace {

constexpr QSize kPictureSize(250, 187);

QString FieldText(std::string_view row, int field)
{
    return QString::fromStdString(TrimText(GetUrlRowField(row, field)));
}

QString NativePath(const fs::path& path)
{
    return QFile::decodeName(path.c_str());
}

// Only plain files are read: a pipe or device placed there would block or never end.
bool IsPlainFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// A text view lays out a whole paragraph at once: one unbroken line of some
// megabytes (minified HTML, a page without line breaks) would hold the window
// for minutes. Such lines are shown in pieces, cut at a blank where there is
// one near the limit; nothing of the text is dropped.
constexpr qsizetype kLongestLine = 10000;

QString BreakLongLines(const QString& text)
{
    QString shown;
    shown.reserve(text.size() + text.size() / kLongestLine + 1);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n')) {
            lineStart = i + 1;
        } else if (i - lineStart == kLongestLine) {
            qsizetype cut = i;
            for (qsizetype back = i; back > i - kLongestLine / 10; --back) {
                if (text[back - 1].isSpace()) {
                    cut = back;
                    break;
                }
            }
            if (cut == i && text[cut].isLowSurrogate())
                --cut;
            shown.insert(shown.size() - (i - cut), QLatin1Char('\n'));
            lineStart = cut;
        }
        shown += text[i];
    }
    return shown;
}

// A captured HTML or text file, whole, as UTF-8 with bad bytes replaced.
// CR LF and lone CR end lines too, as pages saved elsewhere may use them.
QString ReadCapturedText(const fs::path& path)
{
    if (!IsPlainFile(path))
        return {};
    QFile file(NativePath(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return BreakLongLines(text);
}

QPlainTextEdit* MakeSourceView(bool wrap, const QFont& font)
{
    auto* view = new QPlainTextEdit;
    view->setReadOnly(true);
    view->setFont(font);
    view->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    return view;
}

} // namespace

DetailPane::DetailPane(QWidget* parent) : QWidget(parent)
{
    QFont fixedFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixedFont.setPixelSize(13);
    QFont textFont = font();
    textFont.setPixelSize(13);
    m_htmlView = MakeSourceView(false, fixedFont);
    m_textView = MakeSourceView(true, textFont);

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(makePropertiesPage());
    m_stack->addWidget(m_htmlView);
    m_stack->addWidget(m_textView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
}

QWidget* DetailPane::makePropertiesPage()
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);

    m_picture = new QLabel;
    m_picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_picture->setLineWidth(1);
    m_picture->setFixedSize(kPictureSize + QSize(2, 2));
    m_picture->setScaledContents(true);
    column->addWidget(m_picture);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    m_contentLength = addProperty(grid, 0, QStringLiteral(" Content Length"));
    m_contentType = addProperty(grid, 1, QStringLiteral(" Content Type"));
    m_charset = addProperty(grid, 2, QStringLiteral(" Charset"));
    m_lastModified = addProperty(grid, 3, QStringLiteral(" Last Modified"));
    column->addLayout(grid);

    m_keywords = makeMemo();
    m_description = makeMemo();
    column->addWidget(new QLabel(QStringLiteral("Keywords:")));
    column->addWidget(m_keywords);
    column->addWidget(new QLabel(QStringLiteral("Description:")));
    column->addWidget(m_description);
    column->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    return scroll;
}

QLineEdit* DetailPane::addProperty(QGridLayout* grid, int row, const QString& label)
{
    auto* caption = new QLabel(label);
    caption->setAutoFillBackground(true);
    QPalette captionColours = caption->palette();
    captionColours.setColor(QPalette::Window, QColor(0x00, 0xff, 0xff));
    captionColours.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    caption->setPalette(captionColours);

    auto* field = new QLineEdit;
    field->setReadOnly(true);
    field->setFrame(false);
    QPalette fieldColours = field->palette();
    fieldColours.setColor(QPalette::Base, QColor(0xdc, 0xdc, 0xdc));
    fieldColours.setColor(QPalette::Text, Qt::black);
    field->setPalette(fieldColours);

    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1);
    return field;
}

QPlainTextEdit* DetailPane::makeMemo()
{
    auto* memo = new QPlainTextEdit;
    memo->setReadOnly(true);
    memo->setFixedHeight(72);
    QPalette colours = memo->palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    memo->setPalette(colours);
    return memo;
}

void DetailPane::showView(View view)
{
    m_view = view;
    m_stack->setCurrentIndex(static_cast<int>(view));
}

bool DetailPane::hasPicture() const
{
    return !m_picture->pixmap().isNull();
}

void DetailPane::clear()
{
    for (QLineEdit* field : {m_contentLength, m_contentType, m_charset, m_lastModified})
        field->clear();
    for (QPlainTextEdit* text : {m_keywords, m_description, m_htmlView, m_textView})
        text->clear();
    m_picture->setPixmap(QPixmap());
}

void DetailPane::fill(std::string_view row, const fs::path& projectFolder)
{
    clear();
    m_title = FieldText(row, UrlRowField::Title);

    // The sub-fields keep their columns, so Properties is not trimmed as a whole.
    const std::string properties = GetUrlRowField(row, UrlRowField::Properties);
    const HttpProperties parts = UnpackProperties(properties);
    // Computed with '.' and then localised, so any decimal separator works.
    m_contentLength->setText(QString::fromStdString(ContentLengthText(properties, '.'))
                                 .replace(QLatin1Char('.'), QLocale().decimalPoint()));
    m_contentType->setText(QString::fromStdString(parts.contentType));
    m_charset->setText(QString::fromStdString(parts.charset));
    m_lastModified->setText(QString::fromStdString(parts.lastModified));
    m_keywords->setPlainText(FieldText(row, UrlRowField::Keywords));
    m_description->setPlainText(FieldText(row, UrlRowField::Description));

    m_screenshotPath.clear();
    const std::string id = TrimText(GetUrlRowField(row, UrlRowField::Id));
    if (!IsValidId(id))
        return;
    m_screenshotPath = projectFolder / "Screenshot" / (id + ".png");

    const fs::path thumbnail = projectFolder / "Screenshot" / (id + ".jpg");
    if (IsPlainFile(thumbnail)) {
        QImageReader reader(NativePath(thumbnail));
        const QImage image = reader.read();
        if (!image.isNull())
            m_picture->setPixmap(QPixmap::fromImage(image));
    }
    m_htmlView->setPlainText(ReadCapturedText(projectFolder / "Data" / (id + ".htm")));
    m_textView->setPlainText(ReadCapturedText(projectFolder / "Data" / (id + ".txt")));
}

} // namespace orvex

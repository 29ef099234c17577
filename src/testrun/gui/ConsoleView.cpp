#include "testrun/gui/ConsoleView.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>

namespace vorlune::gui {
namespace {

QColor toColor(const testrun::ConsoleColour &colour) { return QColor(colour.red, colour.green, colour.blue); }

} // namespace

QFont consoleFont()
{
    const QString family = QStringLiteral("DejaVu Sans Mono");
    QFont font = QFontDatabase::families().contains(family, Qt::CaseInsensitive)
                     ? QFont(family)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    font.setStyleHint(QFont::Monospace);
    return font;
}

ConsoleView::ConsoleView(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setFont(consoleFont());
    // A terminal's colours: server output is written for a dark background.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, QColor(0, 0, 0));
    colours.setColor(QPalette::Text, QColor(191, 191, 191));
    setPalette(colours);
}

QSize ConsoleView::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal margins = 2 * (frameWidth() + document()->documentMargin());
    const int width = qCeil(metrics.horizontalAdvance(QLatin1Char('M')) * kColumns + margins) +
                      verticalScrollBar()->sizeHint().width();
    const int height = qCeil(metrics.lineSpacing() * kRows + margins);
    return {width, height};
}

void ConsoleView::showFrom(testrun::ConsoleBacklog &backlog, int budgetMs)
{
    if (const std::optional<QString> title = backlog.takeTitle())
        Q_EMIT titleSet(*title);
    if (backlog.isEmpty())
        return;
    QScrollBar *scrollBar = verticalScrollBar();
    const bool followEnd = scrollBar->value() == scrollBar->maximum();
    QElapsedTimer clock;
    clock.start();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (int count = 1; !backlog.isEmpty(); ++count) {
        testrun::ConsoleEvent event = backlog.take();
        switch (event.kind) {
        case testrun::ConsoleEvent::Kind::Text:
            if (event.style != m_textStyle)
                flushText(cursor);
            m_textStyle = event.style;
            m_text += event.text;
            break;
        case testrun::ConsoleEvent::Kind::LineEnd:
            m_text += QLatin1Char('\n');
            break;
        case testrun::ConsoleEvent::Kind::LineStart:
            flushText(cursor);
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            break;
        case testrun::ConsoleEvent::Kind::Title: // the backlog keeps titles apart
            break;
        }
        if (count % 256 == 0 && clock.elapsed() >= budgetMs)
            break;
    }
    flushText(cursor);
    cursor.endEditBlock();
    dropOldLines();
    if (followEnd)
        scrollBar->setValue(scrollBar->maximum());
}

// By lines and by characters, so that long lines cannot fill the memory.
// Done here rather than by the document's block limit: that one runs inside
// the edit block, which makes the whole document one change to lay out anew.
void ConsoleView::dropOldLines()
{
    QTextDocument *text = document();
    int firstKept = qMax(0, text->blockCount() - testrun::kConsoleLineLimit);
    const int excessCharacters = text->characterCount() - int(testrun::kConsoleCharacterLimit);
    if (excessCharacters > 0)
        firstKept = qMax(firstKept, text->findBlock(excessCharacters).blockNumber() + 1);
    firstKept = qMin(firstKept, text->blockCount() - 1); // the line being written stays
    if (firstKept <= 0)
        return;
    QTextCursor cursor(text->findBlockByNumber(firstKept));
    cursor.setPosition(0, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void ConsoleView::flushText(QTextCursor &cursor)
{
    if (m_text.isEmpty())
        return;
    cursor.insertText(m_text, formatFor(m_textStyle));
    m_text.clear();
}

const QTextCharFormat &ConsoleView::formatFor(const testrun::ConsoleStyle &style)
{
    if (style == m_formatStyle)
        return m_format;
    m_formatStyle = style;
    m_format = QTextCharFormat();
    if (style.foreground)
        m_format.setForeground(toColor(*style.foreground));
    if (style.background)
        m_format.setBackground(toColor(*style.background));
    m_format.setFontWeight(style.bold ? QFont::Bold : QFont::Normal);
    m_format.setFontItalic(style.italic);
    m_format.setFontUnderline(style.underline);
    return m_format;
}

} // namespace vorlune::gui

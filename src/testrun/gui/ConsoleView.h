#pragma once

#include "testrun/ConsoleBacklog.h"

#include <QPlainTextEdit>
#include <QTextCharFormat>

namespace vorlune::gui {

// The text area of the server console: styled output, the last lines kept.
class ConsoleView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kColumns = 88;
    static constexpr int kRows = 32;

    explicit ConsoleView(QWidget *parent = nullptr);

    // Shows the oldest events of the backlog until it is empty or the time
    // budget is spent, so that a flood cannot hold the window up.
    void showFrom(testrun::ConsoleBacklog &backlog, int budgetMs);

    // kColumns by kRows characters of the console font.
    QSize sizeHint() const override;

Q_SIGNALS:
    void titleSet(const QString &title);

private:
    void dropOldLines();
    void flushText(QTextCursor &cursor);
    const QTextCharFormat &formatFor(const testrun::ConsoleStyle &style);

    QString m_text; // collected text in m_textStyle, not yet in the document
    testrun::ConsoleStyle m_textStyle;
    testrun::ConsoleStyle m_formatStyle;
    QTextCharFormat m_format;
};

// "DejaVu Sans Mono" at 10 points, else the system's fixed font at that size.
QFont consoleFont();

} // namespace vorlune::gui

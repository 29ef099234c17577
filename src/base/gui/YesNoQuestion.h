#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vorlune::gui::YesNoQuestion {

// Asks `text` with two buttons named by the caller (in the interface
// language); true for `yes`. Closing the box answers no. Tests queue
// answers in advance; while answers are queued no box is shown, and the
// texts asked are recorded.
bool ask(QWidget *parent, const QString &text, const QString &yes, const QString &no);

void queueAnswer(bool yes);
void clearQueuedAnswers();
// For test programs: with no answer queued, record the text and give this
// answer instead of showing a box that nobody would answer.
void answerUnqueuedWith(bool yes);
// The texts asked while answers were queued, oldest first.
QStringList &askedTexts();

} // namespace vorlune::gui::YesNoQuestion

#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vorlune::gui::SaveQuestion {

enum class Answer { Save, Discard, Cancel };

// Asks whether to save a changed project before it is set aside, with the
// buttons in the interface language. Tests queue answers in advance; while
// answers are queued no box is shown, and the texts asked are recorded.
Answer ask(QWidget *parent, const QString &text);

void queueAnswer(Answer answer);
void clearQueuedAnswers();
// For test programs: with no answer queued, record the text and give this
// answer instead of showing a box that nobody would answer.
void answerUnqueuedWith(Answer answer);
// The texts asked while answers were queued, oldest first.
QStringList &askedTexts();

} // namespace vorlune::gui::SaveQuestion

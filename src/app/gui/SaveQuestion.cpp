#include "app/gui/SaveQuestion.h"

#include "base/gui/QueuedAnswers.h"
#include "i18n/ExtraTexts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace vorlune::gui::SaveQuestion {
namespace {

QueuedAnswers<Answer> &answers()
{
    static QueuedAnswers<Answer> queued;
    return queued;
}

} // namespace

Answer ask(QWidget *parent, const QString &text)
{
    if (const std::optional<Answer> answer = answers().take(text))
        return *answer;
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, QMessageBox::NoButton, parent);
    QPushButton *save = box.addButton(i18n::extraText("save_question_save"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(i18n::extraText("save_question_discard"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(i18n::extraText("save_question_cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Answer::Save;
    return box.clickedButton() == discard ? Answer::Discard : Answer::Cancel;
}

void queueAnswer(Answer answer) { answers().queue(answer); }

void answerUnqueuedWith(Answer answer) { answers().answerUnqueuedWith(answer); }

void clearQueuedAnswers() { answers().clear(); }

QStringList &askedTexts() { return answers().asked(); }

} // namespace vorlune::gui::SaveQuestion

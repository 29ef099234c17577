#include "app/gui/SaveQuestion.h"

#include "i18n/ExtraTexts.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace vorlune::gui::SaveQuestion {
namespace {

QList<Answer> &queued()
{
    static QList<Answer> answers;
    return answers;
}

std::optional<Answer> &unqueuedAnswer()
{
    static std::optional<Answer> answer;
    return answer;
}

} // namespace

Answer ask(QWidget *parent, const QString &text)
{
    if (!queued().isEmpty() || unqueuedAnswer()) {
        askedTexts() << text;
        return queued().isEmpty() ? *unqueuedAnswer() : queued().takeFirst();
    }
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

void queueAnswer(Answer answer)
{
    queued().append(answer);
}

void answerUnqueuedWith(Answer answer)
{
    unqueuedAnswer() = answer;
}

void clearQueuedAnswers()
{
    queued().clear();
    askedTexts().clear();
}

QStringList &askedTexts()
{
    static QStringList texts;
    return texts;
}

} // namespace vorlune::gui::SaveQuestion

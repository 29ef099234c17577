#include "base/gui/YesNoQuestion.h"

#include "base/gui/QueuedAnswers.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

namespace vorlune::gui::YesNoQuestion {
namespace {

QueuedAnswers<bool> &answers()
{
    static QueuedAnswers<bool> queued;
    return queued;
}

} // namespace

bool ask(QWidget *parent, const QString &text, const QString &yes, const QString &no)
{
    if (const std::optional<bool> answer = answers().take(text))
        return *answer;
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, QMessageBox::NoButton, parent);
    QPushButton *yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *noButton = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

void queueAnswer(bool answer) { answers().queue(answer); }

void answerUnqueuedWith(bool answer) { answers().answerUnqueuedWith(answer); }

void clearQueuedAnswers() { answers().clear(); }

QStringList &askedTexts() { return answers().asked(); }

} // namespace vorlune::gui::YesNoQuestion

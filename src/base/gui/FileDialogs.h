#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vorlune::gui::FileDialogs {

// What a file dialog gave back: an empty path when the user cancelled;
// filterIndex counts from 1, as the compile command expects.
struct Answer {
    QString path;
    int filterIndex = 1;
};

// Every file dialog of the program goes through here. `start` is the folder
// the dialog opens in, or a file path there whose name is proposed. Tests
// queue answers in advance; while answers are queued no dialog is shown.
Answer getOpenFileName(QWidget *parent, const QString &title, const QStringList &filters, const QString &start);
Answer getSaveFileName(QWidget *parent, const QString &title, const QStringList &filters, const QString &start);

void queueAnswer(const Answer &answer);
void clearQueuedAnswers();
// The `start` of the last dialog asked for, shown or answered from the queue.
QString lastStart();

} // namespace vorlune::gui::FileDialogs

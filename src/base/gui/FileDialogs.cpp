#include "base/gui/FileDialogs.h"

#include <QFileDialog>
#include <QList>

namespace vorlune::gui::FileDialogs {
namespace {

QList<Answer> &queued()
{
    static QList<Answer> answers;
    return answers;
}

QString &lastStartAsked()
{
    static QString start;
    return start;
}

Answer run(QWidget *parent, const QString &title, const QStringList &filters, const QString &start,
           QFileDialog::AcceptMode mode)
{
    lastStartAsked() = start;
    if (!queued().isEmpty())
        return queued().takeFirst();
    QFileDialog dialog(parent, title, start);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    // The operations decide about replacing files themselves.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().first(), int(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

} // namespace

Answer getOpenFileName(QWidget *parent, const QString &title, const QStringList &filters, const QString &start)
{
    return run(parent, title, filters, start, QFileDialog::AcceptOpen);
}

Answer getSaveFileName(QWidget *parent, const QString &title, const QStringList &filters, const QString &start)
{
    return run(parent, title, filters, start, QFileDialog::AcceptSave);
}

void queueAnswer(const Answer &answer) { queued().append(answer); }

void clearQueuedAnswers() { queued().clear(); }

QString lastStart() { return lastStartAsked(); }

} // namespace vorlune::gui::FileDialogs

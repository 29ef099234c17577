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

Answer run(QWidget *parent, const QString &title, const QStringList &filters, QFileDialog::AcceptMode mode)
{
    if (!queued().isEmpty())
        return queued().takeFirst();
    QFileDialog dialog(parent, title);
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

Answer getOpenFileName(QWidget *parent, const QString &title, const QStringList &filters)
{
    return run(parent, title, filters, QFileDialog::AcceptOpen);
}

Answer getSaveFileName(QWidget *parent, const QString &title, const QStringList &filters)
{
    return run(parent, title, filters, QFileDialog::AcceptSave);
}

void queueAnswer(const Answer &answer)
{
    queued().append(answer);
}

void clearQueuedAnswers()
{
    queued().clear();
}

} // namespace vorlune::gui::FileDialogs

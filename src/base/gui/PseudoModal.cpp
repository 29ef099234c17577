#include "base/gui/PseudoModal.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace vorlune::gui {
namespace {

constexpr char kSpared[] = "vorluneSparedByPseudoModal";

// Watches the pseudo-modal dialog for its close.
class ModalCloseWatcher : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            watched->removeEventFilter(this);
            FormModalClose();
        }
        return false;
    }
};

ModalCloseWatcher &watcher()
{
    static ModalCloseWatcher instance;
    return instance;
}

} // namespace

void OpenFormOnCenter(QWidget *mainWindow, QWidget *Form, const QString &title1, bool Mode)
{
    Form->setWindowTitle(title1);
    const QRect outer = mainWindow->frameGeometry();
    Form->move(outer.left() + outer.width() / 2 - Form->width() / 2,
               outer.top() + outer.height() / 2 - Form->height() / 2);
    if (Mode)
        ShowFormModal(Form);
    else
        Form->show();
}

void ShowFormModal(QWidget *Form)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        // Menus and other popups are not windows of their own to the user;
        // the dialog's popup menu must stay usable.
        if (window->windowType() == Qt::Popup || Form->isAncestorOf(window))
            continue;
        if (!window->property(kSpared).toBool())
            window->setEnabled(false);
    }
    Form->setEnabled(true);
    Form->show();
    Form->installEventFilter(&watcher());
}

void spareFromPseudoModal(QWidget *window)
{
    window->setProperty(kSpared, true);
}

void FormModalClose()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->windowType() != Qt::Popup)
            window->setEnabled(true);
    }
}

} // namespace vorlune::gui

#include "base/gui/PseudoModal.h"

#include "base/ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
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

bool frameKnown(const QWidget *window) { return window->frameGeometry().size() != window->size(); }

// Both outer sizes: a window's position is that of its frame.
void centre(const QWidget *mainWindow, QWidget *Form)
{
    const QRect outer = mainWindow->frameGeometry();
    const QSize formOuter = Form->frameGeometry().size();
    const QPoint centred(outer.left() + outer.width() / 2 - formOuter.width() / 2,
                         outer.top() + outer.height() / 2 - formOuter.height() / 2);
    // Centred, but kept on the main window's screen where it fits there.
    const QScreen *screen = mainWindow->screen();
    Form->move(screen ? base::fitOnScreen(QRect(centred, formOuter), screen->availableGeometry()) : centred);
}

constexpr char kRecentringName[] = "vorluneRecentring";

// A dialog's frame is known only once the window manager has framed it:
// centres it again at the first event that tells the frame, then leaves.
// Without a window manager the frame never shows and hiding ends the watch.
class FrameWatcher : public QObject {
public:
    FrameWatcher(QWidget *mainWindow, QWidget *form) : QObject(form), m_mainWindow(mainWindow), m_form(form)
    {
        setObjectName(QLatin1String(kRecentringName));
        form->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            if (frameKnown(m_form)) {
                finish();
                if (m_mainWindow)
                    centre(m_mainWindow, m_form);
            }
            break;
        case QEvent::Hide:
            finish();
            break;
        default:
            break;
        }
        return false;
    }

    void finish()
    {
        setObjectName(QString());
        m_form->removeEventFilter(this);
        deleteLater();
    }

private:
    QPointer<QWidget> m_mainWindow;
    QWidget *m_form;
};

void recentreWhenFramed(QWidget *mainWindow, QWidget *Form)
{
    if (auto *previous = Form->findChild<FrameWatcher *>(QLatin1String(kRecentringName), Qt::FindDirectChildrenOnly))
        previous->finish();
    new FrameWatcher(mainWindow, Form);
}

} // namespace

void OpenFormOnCenter(QWidget *mainWindow, QWidget *Form, const QString &title1, bool Mode)
{
    Form->setWindowTitle(title1);
    centre(mainWindow, Form);
    if (!frameKnown(Form))
        recentreWhenFramed(mainWindow, Form);
    if (Mode)
        ShowFormModal(Form);
    else
        Form->show();
}

void ShowFormModal(QWidget *Form)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        // Menus and other popups are not windows of their own to the user;
        // the dialog's popup menu must stay usable.
        if (window->windowType() == Qt::Popup || Form->isAncestorOf(window))
            continue;
        if (!window->property(kSpared).toBool())
            window->setEnabled(false);
    }
    // A disabled window disables the windows it owns; spared ones stay usable.
    for (QWidget *window : windows) {
        if (window->property(kSpared).toBool())
            window->setEnabled(true);
    }
    Form->setEnabled(true);
    Form->show();
    Form->installEventFilter(&watcher());
}

void spareFromPseudoModal(QWidget *window) { window->setProperty(kSpared, true); }

void FormModalClose()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->windowType() != Qt::Popup)
            window->setEnabled(true);
    }
}

} // namespace vorlune::gui

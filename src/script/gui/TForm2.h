#pragma once

#include "script/CatalogueTypes.h"

#include <QWidget>

#include <vector>

class QMenu;
class QAction;
class QPushButton;

namespace vorlune::gui {

class ScriptEditor;

// The event dialog: adds, changes or duplicates an event of the script, as
// its title says. It acts on the script editor directly.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    void attach(ScriptEditor *editor) { m_editor = editor; }
    void applyTexts();

    void sBitBtn1Click();
    void PopupMenuOpen(const QString &name1, const QString &name2, const QString &name3, int ind1, int ind2, int ind3);
    // The menu of a category button: its events in table order.
    void openCategoryMenu(script::EventCategory category);
    void AddEvent(const QString &str);
    // A menu item: its event, or for a command or timer its settings first.
    void chooseItem(const QString &id);
    QMenu *popupMenu() const { return m_menu; }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QPushButton *categoryButton(const char *name, int left, int top, int height, int icon,
                                script::EventCategory category);
    // Fills the items N1, N2 ... with the events named (display names and
    // icons), hides the rest and opens the menu at the cursor.
    void openMenu(const QStringList &names, const QList<int> &icons);

    ScriptEditor *m_editor = nullptr;
    QMenu *m_menu;
    std::vector<QAction *> m_items;   // as many as the largest category has events
    bool m_focusEventsOnHide = false; // an event was chosen since the dialog was shown
};

} // namespace vorlune::gui

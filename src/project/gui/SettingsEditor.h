#pragma once

#include "project/PluginSettings.h"
#include "project/ProjectSession.h"

#include <QObject>

class QPushButton;
class QTableWidget;
class QWidget;

namespace vorlune::gui {

// The plugin settings editor: the grid ValueListEditor1 with OK (sBitBtn1)
// and Cancel (sBitBtn2) in the main window's editor area. It edits a copy
// of the settings and writes them into the document only on a valid OK.
class SettingsEditor : public QObject {
    Q_OBJECT
public:
    SettingsEditor(QWidget *area, project::ProjectSession &project, int &editorMode);

    QTableWidget *grid() const { return m_grid; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

    void OpenPluginSettings();
    void ClosePluginSettings(bool save);
    bool hasConfigError();
    // Open, with a grid that differs from what it opened with (a value still
    // being typed counts: it is taken into the grid first).
    bool hasUnconfirmedChanges();
    void sBitBtn1Click();
    void sBitBtn2Click();

    // Relabels the rows in the current language, keeping their values.
    void applyTexts();
    // The value of the row with this label; empty when there is none.
    QString value(const QString &label) const;
    void setValue(const QString &label, const QString &value);

Q_SIGNALS:
    void changed();

private:
    project::PluginSettings gridSettings() const;
    void setVisible(bool visible);
    int rowOf(const QString &label) const;
    static bool showErrors(const QStringList &errors);

    project::ProjectSession &m_project;
    int &m_editorMode; // 0 none, 1 settings editor, 2 script editor
    QTableWidget *m_grid;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    project::PluginSettings m_opened; // the grid as it opened
};

} // namespace vorlune::gui

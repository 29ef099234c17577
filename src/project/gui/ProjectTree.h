#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace vorlune::gui {

// The project tree: the settings node, the scripts node and below it the
// main script node. Nodes are recognised by their texts.
class ProjectTree {
public:
    explicit ProjectTree(QWidget *parent);

    QTreeWidget *widget() const { return m_tree; }
    QTreeWidgetItem *settingsNode() const { return m_settings; }
    QTreeWidgetItem *scriptsNode() const { return m_scripts; }
    QTreeWidgetItem *mainScriptNode() const { return m_mainScript; }

    void applyTexts();
    void setMainScriptText(const QString &text);
    // Text of the selected node; empty when nothing is selected.
    QString selectedText() const;
    // Icon index the scripts node shows while selected (4 expanded, 3 collapsed).
    int scriptsSelectedIcon() const { return m_scriptsSelectedIcon; }

private:
    void sTreeView1Expanded(QTreeWidgetItem *Node);
    void sTreeView1Collapsed(QTreeWidgetItem *Node);
    void setScriptsIcons(int normal, int selected);

    QTreeWidget *m_tree;
    QTreeWidgetItem *m_settings;
    QTreeWidgetItem *m_scripts;
    QTreeWidgetItem *m_mainScript;
    int m_scriptsSelectedIcon = 3;
};

} // namespace vorlune::gui

#include "project/gui/ProjectTree.h"

#include "base/gui/IconList.h"
#include "i18n/TextTable.h"

#include <QTreeWidget>

namespace vorlune::gui {

ProjectTree::ProjectTree(QWidget *parent) : m_tree(new QTreeWidget(parent))
{
    m_tree->setObjectName(QStringLiteral("sTreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(19);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setStyleSheet(QStringLiteral("QTreeWidget { background-color: #C6DDE7; color: #10202a; }"));

    m_settings = new QTreeWidgetItem(m_tree);
    m_settings->setIcon(0, mainIcon(0));
    m_scripts = new QTreeWidgetItem(m_tree);
    m_mainScript = new QTreeWidgetItem(m_scripts);
    m_mainScript->setIcon(0, mainIcon(1));
    setScriptsIcons(3, 3);

    QObject::connect(m_tree, &QTreeWidget::itemExpanded, m_tree,
                     [this](QTreeWidgetItem *node) { sTreeView1Expanded(node); });
    QObject::connect(m_tree, &QTreeWidget::itemCollapsed, m_tree,
                     [this](QTreeWidgetItem *node) { sTreeView1Collapsed(node); });
    applyTexts();
}

void ProjectTree::applyTexts()
{
    m_settings->setText(0, i18n::tx("RSRS.rsrs1"));
    m_scripts->setText(0, QStringLiteral(".php ") + i18n::tx("RSRS.rsrs2"));
}

void ProjectTree::setMainScriptText(const QString &text)
{
    if (m_mainScript->text(0) != text)
        m_mainScript->setText(0, text);
}

QString ProjectTree::selectedText() const
{
    const QList<QTreeWidgetItem *> selected = m_tree->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void ProjectTree::sTreeView1Expanded(QTreeWidgetItem *Node)
{
    if (Node == m_scripts)
        setScriptsIcons(4, 4);
}

void ProjectTree::sTreeView1Collapsed(QTreeWidgetItem *Node)
{
    if (Node == m_scripts)
        setScriptsIcons(3, 3);
}

void ProjectTree::setScriptsIcons(int normal, int selected)
{
    m_scriptsSelectedIcon = selected;
    QIcon icon;
    icon.addPixmap(mainIcon(normal).pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(mainIcon(selected).pixmap(16, 16), QIcon::Selected);
    m_scripts->setIcon(0, icon);
}

} // namespace vorlune::gui

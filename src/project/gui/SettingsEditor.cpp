#include "project/gui/SettingsEditor.h"

#include "base/Messages.h"
#include "i18n/TextTable.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <array>

namespace vorlune::gui {
namespace {

constexpr int kLabelColumn = 0;
constexpr int kValueColumn = 1;

// Row labels in grid order; "API" is the same in every language.
std::array<QString, 7> rowLabels()
{
    using i18n::tx;
    return {tx("CNFG.cnfg1"), tx("CNFG.cnfg2"), tx("CNFG.cnfg3"), QStringLiteral("API"),
            tx("CNFG.cnfg4"), tx("CNFG.cnfg5"), tx("CNFG.cnfg6")};
}

} // namespace

SettingsEditor::SettingsEditor(QWidget *area, project::ProjectSession &project, int &editorMode)
    : QObject(area), m_project(project), m_editorMode(editorMode), m_grid(new QTableWidget(7, 2, area)),
      m_ok(new QPushButton(area)), m_cancel(new QPushButton(area))
{
    m_grid->setObjectName(QStringLiteral("ValueListEditor1"));
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    // Seven rows must fit above OK and Cancel, which stand 170 pixels below the grid's top.
    m_grid->verticalHeader()->setMinimumSectionSize(20);
    m_grid->verticalHeader()->setDefaultSectionSize(23);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setStyleSheet(QStringLiteral("QTableWidget { background-color: #C6DDE7; color: #10202a; }"));
    for (int row = 0; row < 7; ++row) {
        auto *label = new QTableWidgetItem;
        label->setFlags(Qt::ItemIsEnabled);
        m_grid->setItem(row, kLabelColumn, label);
        m_grid->setItem(row, kValueColumn, new QTableWidgetItem);
    }
    m_grid->setColumnWidth(kLabelColumn, 130);
    applyTexts();
    // Before the first opening the grid holds what a new project holds.
    const project::PluginSettings fresh{
        QStringLiteral("Plugin"),   QStringLiteral("Plugin\\Main"), QStringLiteral("1.0.0"),  QStringLiteral("1.0.0"),
        QStringLiteral("YourName"), QStringLiteral("POSTWORLD"),    project::kDefaultSiteText};
    const std::array<QString, 7> values{fresh.name,    fresh.main,    fresh.version, fresh.api,
                                        fresh.creator, fresh.loading, fresh.site};
    for (int row = 0; row < 7; ++row)
        m_grid->item(row, kValueColumn)->setText(values[size_t(row)]);
    m_grid->setCurrentCell(0, kValueColumn);

    m_ok->setObjectName(QStringLiteral("sBitBtn1"));
    m_ok->resize(52, 25);
    m_cancel->setObjectName(QStringLiteral("sBitBtn2"));
    m_cancel->resize(74, 25);
    connect(m_ok, &QPushButton::clicked, this, &SettingsEditor::sBitBtn1Click);
    connect(m_cancel, &QPushButton::clicked, this, &SettingsEditor::sBitBtn2Click);
    setVisible(false);
}

void SettingsEditor::applyTexts()
{
    const auto labels = rowLabels();
    for (int row = 0; row < 7; ++row)
        m_grid->item(row, kLabelColumn)->setText(labels[size_t(row)]);
    m_ok->setText(i18n::tx("BUTTONS.btn1"));
    m_cancel->setText(i18n::tx("BUTTONS.btn2"));
}

int SettingsEditor::rowOf(const QString &label) const
{
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        if (m_grid->item(row, kLabelColumn)->text() == label)
            return row;
    }
    return -1;
}

QString SettingsEditor::value(const QString &label) const
{
    const int row = rowOf(label);
    return row < 0 ? QString() : m_grid->item(row, kValueColumn)->text();
}

void SettingsEditor::setValue(const QString &label, const QString &value)
{
    const int row = rowOf(label);
    if (row >= 0)
        m_grid->item(row, kValueColumn)->setText(value);
}

project::PluginSettings SettingsEditor::gridSettings() const
{
    using i18n::tx;
    project::PluginSettings settings;
    settings.name = value(tx("CNFG.cnfg1"));
    settings.creator = value(tx("CNFG.cnfg4"));
    settings.version = value(tx("CNFG.cnfg3"));
    settings.site = value(tx("CNFG.cnfg6"));
    settings.api = value(QStringLiteral("API"));
    settings.loading = value(tx("CNFG.cnfg5"));
    settings.main = value(tx("CNFG.cnfg2"));
    return settings;
}

void SettingsEditor::setVisible(bool visible)
{
    for (QWidget *widget :
         {static_cast<QWidget *>(m_grid), static_cast<QWidget *>(m_ok), static_cast<QWidget *>(m_cancel)}) {
        widget->setVisible(visible);
        widget->setEnabled(visible);
    }
}

void SettingsEditor::OpenPluginSettings()
{
    using i18n::tx;
    m_editorMode = 1;
    setVisible(true);
    const project::PluginSettings stored = project::PluginSettings::fromElement(m_project.document.settings());
    setValue(tx("CNFG.cnfg1"), stored.name);
    setValue(tx("CNFG.cnfg4"), stored.creator);
    setValue(tx("CNFG.cnfg3"), stored.version);
    setValue(tx("CNFG.cnfg6"), stored.site);
    setValue(QStringLiteral("API"), stored.api);
    setValue(tx("CNFG.cnfg5"), stored.loading);
    setValue(tx("CNFG.cnfg2"), stored.main);
    m_opened = gridSettings();
    m_grid->setFocus();
    Q_EMIT changed();
}

void SettingsEditor::ClosePluginSettings(bool save)
{
    m_editorMode = 0;
    if (save && !m_project.document.isNull()) {
        gridSettings().writeTo(m_project.document.settings());
        m_project.modified = true;
    }
    setVisible(false);
    Q_EMIT changed();
}

bool SettingsEditor::hasUnconfirmedChanges()
{
    if (m_editorMode != 1)
        return false;
    // A cell's editor while a value is typed in it.
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        if (QWidget *typing = m_grid->indexWidget(m_grid->model()->index(row, kValueColumn)))
            Q_EMIT m_grid->itemDelegate()->commitData(typing);
    }
    return gridSettings() != m_opened;
}

bool SettingsEditor::showErrors(const QStringList &errors)
{
    for (const QString &error : errors)
        Messages::show(error);
    return !errors.isEmpty();
}

bool SettingsEditor::hasConfigError()
{
    if (m_project.document.isNull())
        return false;
    return showErrors(project::settingsErrors(project::PluginSettings::fromElement(m_project.document.settings())));
}

void SettingsEditor::sBitBtn1Click()
{
    if (!showErrors(project::settingsErrors(gridSettings())))
        ClosePluginSettings(true);
}

void SettingsEditor::sBitBtn2Click()
{
    if (!hasConfigError())
        ClosePluginSettings(false);
}

} // namespace vorlune::gui

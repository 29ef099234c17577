#include "script/gui/EventSettingsDialog.h"

#include "base/Messages.h"
#include "i18n/ExtraTexts.h"
#include "i18n/Placeholder.h"
#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/gui/ScriptEditor.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vorlune::gui {
namespace {

constexpr int kRow = 29;
constexpr int kFieldLeft = 130;

} // namespace

EventSettingsDialog::EventSettingsDialog(ScriptEditor *editor, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_editor(editor),
      m_who(new QComboBox(this)), m_problem(new QLabel(this)), m_cancel(new QPushButton(this)),
      m_ok(new QPushButton(this))
{
    setObjectName(QStringLiteral("EventSettingsDialog"));
    setFixedSize(360, 184);
    for (int i = 0; i < 4; ++i) {
        m_labels[i] = new QLabel(this);
        m_labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        m_labels[i]->setGeometry(8, 8 + kRow * i, kFieldLeft - 12, 21);
    }
    for (int i = 0; i < 3; ++i) {
        m_edits[i] = new QLineEdit(this);
        m_edits[i]->setObjectName(QStringLiteral("sEdit%1").arg(i + 1));
        m_edits[i]->setGeometry(kFieldLeft, 8 + kRow * i, width() - kFieldLeft - 8, 21);
        connect(m_edits[i], &QLineEdit::textChanged, this, &EventSettingsDialog::updateOk);
    }
    m_who->setObjectName(QStringLiteral("sComboBox1"));
    m_who->setGeometry(kFieldLeft, 8 + kRow * 3, width() - kFieldLeft - 8, 23);
    m_problem->setObjectName(QStringLiteral("Label5"));
    m_problem->setGeometry(8, 8 + kRow * 4, width() - 16, 34);
    m_problem->setWordWrap(true);
    m_cancel->setObjectName(QStringLiteral("sBitBtn1"));
    m_cancel->setGeometry(-4, height() - 25, 183, 25);
    m_ok->setObjectName(QStringLiteral("sBitBtn2"));
    m_ok->setGeometry(181, height() - 25, width() - 181, 25);
    // Enter presses OK when it may be pressed, never Cancel.
    m_ok->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ok, &QPushButton::clicked, this, &EventSettingsDialog::sBitBtn2Click);
    applyTexts();
}

void EventSettingsDialog::applyTexts()
{
    m_cancel->setText(i18n::tx("BUTTONS.btn2"));
    m_ok->setText(i18n::tx("BUTTONS.btn1"));
    const int chosen = m_who->currentIndex();
    m_who->clear();
    m_who->addItem(i18n::extraText("cmd_everyone"), QString::fromLatin1(script::kEveryone));
    m_who->addItem(i18n::extraText("cmd_operators"), QString::fromLatin1(script::kOperators));
    m_who->setCurrentIndex(chosen < 0 ? 0 : chosen);
}

bool EventSettingsDialog::prepare(const QString &operation, script::SlotKind kind)
{
    m_operation = operation;
    m_kind = kind;
    QStringList used;
    QListWidget *events = m_editor->controls().sListView2;
    for (int i = 0; i < events->count(); ++i)
        used << m_editor->eventIdOf(events->item(i));
    const bool adding = operation == i18n::tx("TTL.ttl2");
    m_fromId = adding ? QString() : m_editor->selectedEventId();
    const bool sameKind = !m_fromId.isEmpty() && script::slotKind(m_fromId) == kind;
    // Changing a command into a command keeps its id and its place.
    m_id = sameKind && operation == i18n::tx("TTL.ttl3") ? m_fromId : script::freeSlot(kind, used);
    if (m_id.isEmpty()) {
        const int count = kind == script::SlotKind::Command ? script::kCommandSlots : script::kTimerSlots;
        Messages::show(i18n::fillPlaceholders(i18n::extraText("slot_full"), {{"count", QString::number(count)}}));
        return false;
    }
    const QString from = sameKind ? m_editor->EventLists().settings(m_fromId) : QString();
    const bool command = kind == script::SlotKind::Command;
    const QStringList labels = command ? QStringList{i18n::extraText("cmd_name"), i18n::extraText("cmd_description"),
                                                     i18n::extraText("cmd_usage"), i18n::extraText("cmd_who")}
                                       : QStringList{i18n::extraText("timer_period")};
    for (int i = 0; i < 4; ++i) {
        m_labels[i]->setText(i < labels.size() ? labels.at(i) + QStringLiteral(" : ") : QString());
        m_labels[i]->setVisible(i < labels.size());
    }
    for (int i = 0; i < 3; ++i) {
        m_edits[i]->setVisible(i < labels.size());
        m_edits[i]->setText(i < labels.size() ? script::getArgumentValue(from, i + 1) : QString());
    }
    m_who->setVisible(command);
    m_who->setCurrentIndex(qMax(0, m_who->findData(script::getArgumentValue(from, 4))));
    updateOk();
    return true;
}

void EventSettingsDialog::keyPressEvent(QKeyEvent *event)
{
    // Escape closes as Cancel does: a dialog's own reject() would only hide
    // it, and the main window waits for the close to be answered again.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EventSettingsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The first field takes what is typed as soon as the dialog shows.
    m_edits[0]->setFocus();
}

QString EventSettingsDialog::typedSettings() const
{
    if (m_kind == script::SlotKind::Timer)
        return script::makeArgumentBlock({m_edits[0]->text()});
    return script::commandArgs(
        {m_edits[0]->text(), m_edits[1]->text(), m_edits[2]->text(), m_who->currentData().toString()});
}

QString EventSettingsDialog::problem() const
{
    for (const QLineEdit *edit : m_edits) {
        if (edit->isVisible() && edit->text().contains(script::closingMarker()))
            return QStringLiteral("\"]\u2063\"");
    }
    if (m_kind == script::SlotKind::Timer)
        return script::timerSeconds(typedSettings()) ? QString() : i18n::extraText("timer_period");
    const QString name = m_edits[0]->text();
    if (!script::isCommandName(name))
        return i18n::extraText("cmd_name_rule");
    // Names are compared as the server's command map does: any case.
    QListWidget *events = m_editor->controls().sListView2;
    for (int i = 0; i < events->count(); ++i) {
        const QString id = m_editor->eventIdOf(events->item(i));
        const auto other = script::commandSettings(m_editor->EventLists().settings(id));
        if (id != m_id && other && other->name.compare(name, Qt::CaseInsensitive) == 0)
            return i18n::fillPlaceholders(i18n::extraText("cmd_taken"), {{"name", other->name}});
    }
    return {};
}

void EventSettingsDialog::updateOk()
{
    const QString why = problem();
    // An empty name is not yet a mistake worth pointing at.
    m_problem->setText(m_edits[0]->text().isEmpty() ? QString() : why);
    m_ok->setEnabled(why.isEmpty());
}

void EventSettingsDialog::sBitBtn2Click()
{
    if (!problem().isEmpty())
        return;
    script::EventLists &lists = m_editor->EventLists();
    QListWidget *events = m_editor->controls().sListView2;
    QListWidgetItem *selected = events->currentItem();
    if (m_operation == i18n::tx("TTL.ttl3") && selected) {
        if (m_id != m_fromId) {
            for (const QString &line : lists.EventListOpen(m_fromId))
                lists.append(m_id, line);
            lists.DeleteEventList(m_fromId);
        }
        lists.setSettings(m_id, typedSettings());
        m_editor->setEventId(selected, m_id);
        m_editor->EventListOpen(m_id);
    } else if (m_operation == i18n::tx("TTL.ttl2") || (m_operation == i18n::tx("TTL.ttl4") && selected)) {
        if (!m_fromId.isEmpty()) {
            for (const QString &line : lists.EventListOpen(m_fromId))
                lists.append(m_id, line);
        }
        lists.setSettings(m_id, typedSettings());
        m_editor->appendEvent(m_id);
        events->setCurrentRow(events->count() - 1);
    }
    close();
}

} // namespace vorlune::gui

#include "script/gui/ScriptEditor.h"
#include "app/gui/TForm1.h"
#include "base/IniImage.h"
#include "base/gui/FileDialogs.h"
#include "build/Compile.h"
#include "build/PhpPeer.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"
#include "project/gui/ProjectTree.h"
#include "script/ActionCatalogue.h"
#include "script/EventSettings.h"
#include "script/gui/EventSettingsDialog.h"
#include "script/gui/PaletteItem.h"
#include "script/gui/TForm2.h"
#include "script/gui/TForm4.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include <memory>
#include <optional>

using namespace vorlune;
using namespace vorlune::gui;

namespace {

// The main window with its two script dialogs, as start-up creates them.
struct Windows {
    explicit Windows(const QStringList &arguments = {}) : form1(arguments)
    {
        form1.attachWindows({&form2, nullptr, &form4, nullptr});
        form1.show();
    }
    ~Windows() { FileDialogs::clearQueuedAnswers(); }

    ScriptEditor &editor() { return form1.scriptEditor(); }
    QListWidget *events() { return editor().controls().sListView2; }
    QListWidget *actions() { return editor().controls().sListView1; }

    void openScriptEditor()
    {
        QTreeWidget *tree = form1.projectTree().widget();
        QTreeWidgetItem *node = form1.projectTree().mainScriptNode();
        form1.projectTree().scriptsNode()->setExpanded(true);
        tree->setCurrentItem(node);
        form1.sTreeView1DblClick();
    }

    // New event / Edit / Duplicate, then an item of a category's menu.
    void chooseEvent(QPushButton *button, int item, const char *category = "sBitBtn1")
    {
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(form2.isVisible());
        QTest::mouseClick(form2.findChild<QPushButton *>(QLatin1String(category)), Qt::LeftButton);
        QMenu *menu = form2.popupMenu();
        QAction *action = menu->actions().at(item);
        QVERIFY(action->isVisible());
        // A real click on the item: the dialog's menu must stay usable while
        // the dialog holds the other windows disabled.
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(menu->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        QTRY_VERIFY(!menu->isVisible());
    }

    // What a window manager does when a dialog goes away; the offscreen
    // platform activates nothing by itself.
    void activateMainWindow()
    {
        QVERIFY(!form2.isVisible());
        form1.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form1));
    }

    void dropPaletteItem(const QByteArray &item = QByteArrayLiteral("sImage1"))
    {
        QMimeData data;
        data.setData(PaletteItem::mimeType(), item);
        QVERIFY(editor().sListView1DragOver(&data));
        editor().sListView1DragDrop(&data);
    }

    void typeArgumentAndConfirm(const QString &text)
    {
        QVERIFY(form4.isVisible());
        QCOMPARE(form4.windowTitle(), i18n::tx("FNCT.fnct1"));
        form4.field()->clear();
        QTest::keyClicks(form4.field(), text);
        QVERIFY(form4.okButton()->isEnabled());
        QTest::mouseClick(form4.okButton(), Qt::LeftButton);
        QVERIFY(!form4.isVisible());
    }

    QStringList actionCaptions()
    {
        QStringList captions;
        for (int i = 0; i < actions()->count(); ++i)
            captions << actions()->item(i)->text();
        return captions;
    }

    TForm1 form1;
    TForm2 form2;
    TForm4 form4;
};

QString line(const QString &message) { return script::makeActionLine(1, {message}); }

// The hint shown when the pointer rests on a line, as the user reads it.
QString shownHint(QListWidget *list, int row)
{
    QListWidgetItem *entry = list->item(row);
    if (!entry)
        return QStringLiteral("(no line %1)").arg(row);
    const QPoint at = list->visualItemRect(entry).center();
    QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    if (!QToolTip::isVisible())
        return QString();
    const QString shown = QToolTip::text();
    QToolTip::hideText();
    if (!Qt::mightBeRichText(shown))
        return shown;
    QTextDocument document;
    document.setHtml(shown);
    return document.toPlainText();
}

QStringList shownHints(QListWidget *list)
{
    QStringList hints;
    for (int row = 0; row < list->count(); ++row)
        hints << shownHint(list, row);
    return hints;
}

} // namespace

class ScriptEditorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void endToEndPluginBuiltFromTheWindows()
    {
        if (test::phpProgram().isEmpty())
            QSKIP("php is not installed");
        Windows w;
        w.openScriptEditor();
        QCOMPARE(w.form1.state().editorMode, 2);
        QVERIFY(!w.editor().controls().sBitBtn6->isEnabled());

        w.chooseEvent(w.editor().controls().sBitBtn5, 0);
        QCOMPARE(w.events()->count(), 1);
        QCOMPARE(w.events()->item(0)->text(), QStringLiteral("При Включении Плагина"));
        QVERIFY(w.events()->item(0)->isSelected());
        QVERIFY(!w.form2.isVisible());
        QVERIFY(w.form1.isEnabled()); // the pseudo-modal lock ends with the dialog

        w.dropPaletteItem();
        w.typeArgumentAndConfirm(QStringLiteral("Hello"));
        QCOMPARE(w.actionCaptions(), QStringList{line(QStringLiteral("Hello"))});
        QCOMPARE(w.editor().EventLists().lines(1), QStringList{line(QStringLiteral("Hello"))});

        QTest::mouseClick(w.editor().controls().sBitBtn3, Qt::LeftButton); // OK
        QCOMPARE(w.form1.state().editorMode, 0);
        QVERIFY(w.editor().EventLists().isEmpty());

        FileDialogs::queueAnswer({m_env->path(QStringLiteral("hello")), 1});
        w.form1.N4Click();
        FileDialogs::queueAnswer({m_env->path(QStringLiteral("hello.vlk")), 1});
        w.form1.N2Click();
        w.form1.N3Click();
        QCOMPARE(w.form1.state().project.ProjectFileName, QStringLiteral("hello.vlk"));

        const QString archive =
            build::Compile(w.form1.state().project.document, build::kPharArchive, m_env->path(QStringLiteral("out")),
                           build::kShowErrors, build::kShowCompletion);
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg10")});
        const QString run = QStringLiteral(R"php(
namespace pocketmine\plugin {
    class Logger { function info($m) { echo $m, "\n"; } }
    abstract class PluginBase { function getLogger() { return new Logger(); } }
}
namespace { require 'phar://' . $argv[1] . '/src/Plugin/Main.php'; (new Plugin\Main())->onEnable(); }
)php");
        QCOMPARE(test::runPhp(run, {archive}), QByteArray("Hello\n"));
    }

    // The drop side as the list receives it: enter, move and drop events carrying
    // what a drag of the palette item carries. (The platform's drag loop itself
    // cannot run without a real pointer.)
    void paletteDropThroughTheListsOwnEvents()
    {
        Windows w;
        w.openScriptEditor();
        QWidget *target = w.actions()->viewport();
        std::unique_ptr<QMimeData> data(w.editor().controls().sImage1->createMimeData());
        const QPointF at = target->rect().center();

        QDragEnterEvent refused(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &refused);
        QVERIFY(!refused.isAccepted()); // no event selected yet

        w.chooseEvent(w.editor().controls().sBitBtn5, 0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QVERIFY(w.form4.isVisible());
        QCOMPARE(w.form4.EditLineIndex, -1);
        w.typeArgumentAndConfirm(QStringLiteral("dropped"));
        QCOMPARE(w.actionCaptions(), QStringList{line(QStringLiteral("dropped"))});
        QCOMPARE(w.actions()->item(0)->data(Qt::UserRole).toInt(), 0);
    }

    // A category button opens its events' menu; an item adds its event.
    void playerEventsMenu()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 2, "sBitBtn2");
        QStringList shown;
        for (const QAction *item : w.form2.popupMenu()->actions()) {
            if (item->isVisible())
                shown << item->text();
        }
        QCOMPARE(shown.size(), 11);
        QCOMPARE(shown.first(), i18n::tx("EVNT.evnt4"));
        QCOMPARE(shown.at(2), i18n::tx("EVNT.evnt10"));
        QCOMPARE(w.events()->count(), 1);
        QCOMPARE(w.editor().selectedEventId(), QStringLiteral("ev_10"));
    }

    // "Command..." asks for the settings, the list shows the command, Edit
    // changes its settings in place, and OK writes them to the project.
    void commandDialog()
    {
        Windows w;
        w.openScriptEditor();
        EventSettingsDialog *dialog = w.editor().settingsDialog();
        const auto typeCommand = [&](const QString &name) {
            QTRY_VERIFY(dialog->isVisible());
            dialog->field(0)->clear();
            QTest::keyClicks(dialog->field(0), name);
        };
        // Server events: ev_15, ev_28, then the command and the timer items.
        w.chooseEvent(w.editor().controls().sBitBtn5, 2, "sBitBtn4");
        typeCommand(QStringLiteral("he al"));
        QVERIFY(!dialog->okButton()->isEnabled());
        QCOMPARE(dialog->problemLabel()->text(), i18n::extraText("cmd_name_rule"));
        typeCommand(QStringLiteral("heal"));
        QTest::keyClicks(dialog->field(1), QStringLiteral("Heal yourself"));
        QTest::keyClicks(dialog->field(2), QStringLiteral("/heal"));
        dialog->whoBox()->setCurrentIndex(1);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(w.events()->item(0)->text(), QStringLiteral("/heal"));
        QCOMPARE(w.editor().selectedEventId(), QStringLiteral("ev_40"));

        // Escape closes as Cancel does and gives the main window back.
        w.chooseEvent(w.editor().controls().sBitBtn5, 2, "sBitBtn4");
        QTRY_VERIFY(dialog->isVisible());
        QTest::keyClick(dialog->field(0), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QVERIFY(w.form1.isEnabled());

        // The next command takes the next id, and not a name in use.
        w.chooseEvent(w.editor().controls().sBitBtn5, 2, "sBitBtn4");
        typeCommand(QStringLiteral("HEAL"));
        QVERIFY(!dialog->okButton()->isEnabled());
        typeCommand(QStringLiteral("home"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QCOMPARE(w.editor().selectedEventId(), QStringLiteral("ev_41"));

        w.events()->setCurrentRow(0);
        w.dropPaletteItem(QByteArrayLiteral("sImage3"));
        QTest::keyClicks(w.form4.field(), QStringLiteral("{sender}"));
        QTest::mouseClick(w.form4.okButton(), Qt::LeftButton);
        w.form1.Timer1Timer(); // enables Edit for the selection
        w.chooseEvent(w.editor().controls().sBitBtn7, 2, "sBitBtn4");
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->field(1)->text(), QStringLiteral("Heal yourself"));
        QCOMPARE(dialog->whoBox()->currentData().toString(), QStringLiteral("operators"));
        typeCommand(QStringLiteral("cure"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QCOMPARE(w.events()->item(0)->text(), QStringLiteral("/cure"));
        QCOMPARE(w.actions()->count(), 1);

        QTest::mouseClick(w.editor().controls().sBitBtn3, Qt::LeftButton);
        const auto events = w.form1.state().project.document.mainScript().childElements();
        QCOMPARE(events.size(), size_t(1)); // /home has no actions
        QCOMPARE(events[0].name(), QStringLiteral("ev_40"));
        QCOMPARE(events[0].attribute(QStringLiteral("args")),
                 script::commandArgs({QStringLiteral("cure"), QStringLiteral("Heal yourself"), QStringLiteral("/heal"),
                                      QStringLiteral("operators")}));
    }

    // An action the event cannot serve is refused at the drop, with the reason.
    void dropThatDoesNotFitIsRefused()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 0); // plugin enabled: no player
        w.dropPaletteItem(QByteArrayLiteral("sImage2"));
        QVERIFY(!w.form4.isVisible());
        QCOMPARE(w.actions()->count(), 0);
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY(m_env->messages().first().contains(i18n::tx("FNCT.fnct2")));
    }

    // The title action's layout: a label and a field per value.
    void titleActionLayout()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 0, "sBitBtn2"); // joins
        w.dropPaletteItem(QByteArrayLiteral("sImage5"));
        QVERIFY(w.form4.isVisible());
        auto *title = w.form4.findChild<QLabel *>(QStringLiteral("Label1"));
        auto *subtitle = w.form4.findChild<QLabel *>(QStringLiteral("Label2"));
        QCOMPARE(title->text(), i18n::tx("VLS.vls2") + QStringLiteral(" : "));
        QCOMPARE(subtitle->text(), i18n::tx("VLS.vls3") + QStringLiteral(" : "));
        QVERIFY(w.form4.field(1)->isVisible());
        QCOMPARE(w.form4.field(1)->x(), subtitle->x() + subtitle->width());
        QVERIFY(w.form4.field(1)->y() > w.form4.field(0)->y());
        QVERIFY(!w.form4.okButton()->isEnabled());
        QTest::keyClicks(w.form4.field(0), QStringLiteral("Hi {player}"));
        QVERIFY(w.form4.okButton()->isEnabled()); // the subtitle may stay empty
        QTest::mouseClick(w.form4.okButton(), Qt::LeftButton);
        QCOMPARE(w.actionCaptions(),
                 QStringList{script::makeActionLine(5, {QStringLiteral("Hi {player}"), QString()})});
        QCOMPARE(w.actions()->item(0)->data(Qt::UserRole).toInt(), 4);
    }

    // A condition's layout: its choice as a box that stores the word, and a
    // number that must be one in range before OK.
    void conditionLayoutChoiceAndNumber()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 0, "sBitBtn2"); // joins
        w.dropPaletteItem(QByteArrayLiteral("sImage108"));
        QVERIFY(w.form4.isVisible());
        QComboBox *is = w.form4.choiceBox(0);
        QVERIFY(is->isVisible() && !w.form4.field(0)->isVisible());
        QCOMPARE(is->itemText(1), i18n::tx("CHC.chc8"));
        QVERIFY(w.form4.field(1)->isVisible());
        for (const char *typed : {"", "150", "5x", "-5"}) {
            w.form4.field(1)->setText(QLatin1String(typed));
            QVERIFY2(!w.form4.okButton()->isEnabled(), typed);
        }
        w.form4.field(1)->setText(QStringLiteral("50"));
        QVERIFY(w.form4.okButton()->isEnabled());
        is->setCurrentIndex(1);
        QTest::mouseClick(w.form4.okButton(), Qt::LeftButton);
        QCOMPARE(w.actionCaptions(),
                 QStringList{script::makeActionLine(108, {QStringLiteral("not"), QStringLiteral("50")})});
        QCOMPARE(w.actions()->item(0)->data(Qt::UserRole).toInt(), 107);
    }

    // After the event dialog the arrow keys must work in the event list
    // without a click on it first.
    void eventDialogLeavesTheKeyboardInTheEventList()
    {
        Windows w;
        w.openScriptEditor();
        ScriptEditorControls &c = w.editor().controls();
        w.chooseEvent(c.sBitBtn5, 0);
        w.dropPaletteItem();
        w.typeArgumentAndConfirm(QStringLiteral("first"));
        w.chooseEvent(c.sBitBtn5, 1);
        QCOMPARE(w.events()->currentRow(), 1);
        QVERIFY(w.actionCaptions().isEmpty());

        w.activateMainWindow();
        QTRY_COMPARE(QApplication::focusWidget(), w.events());
        // Keys go to the window, as the keyboard sends them, not to the list.
        QTest::keyClick(w.form1.windowHandle(), Qt::Key_Up);
        QCOMPARE(w.events()->currentRow(), 0);
        QCOMPARE(w.actionCaptions(), QStringList{line(QStringLiteral("first"))});
        QTest::keyClick(w.form1.windowHandle(), Qt::Key_Down);
        QCOMPARE(w.events()->currentRow(), 1);

        // Changing an event goes through the same dialog; the button clicked
        // to open it had the focus before.
        w.chooseEvent(c.sBitBtn7, 2);
        QCOMPARE(w.events()->item(1)->text(), i18n::tx("EVNT.evnt3"));
        w.activateMainWindow();
        QTRY_COMPARE(QApplication::focusWidget(), w.events());
        QTest::keyClick(w.form1.windowHandle(), Qt::Key_Up);
        QCOMPARE(w.events()->currentRow(), 0);

        // A refused choice keeps the dialog open; closing it then still
        // returns the keyboard to the list.
        w.chooseEvent(c.sBitBtn5, 0);
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg6")});
        QVERIFY(w.form2.isVisible());
        QVERIFY(w.form2.close());
        w.activateMainWindow();
        QTRY_COMPARE(QApplication::focusWidget(), w.events());
    }

    void dropsNeedASelectedEventAndAPaletteItem()
    {
        Windows w;
        w.openScriptEditor();
        QMimeData palette;
        palette.setData(PaletteItem::mimeType(), QByteArrayLiteral("sImage1"));
        QVERIFY(!w.editor().sListView1DragOver(&palette)); // no event yet
        w.chooseEvent(w.editor().controls().sBitBtn5, 1);
        QMimeData text;
        text.setText(QStringLiteral("sImage1"));
        QVERIFY(!w.editor().sListView1DragOver(&text));
        w.editor().sListView1DragDrop(&text);
        QVERIFY(!w.form4.isVisible());
    }

    void editingLinesInPlaceAndTheArgumentField()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 0);
        for (const char *message : {"one", "two", "three"}) {
            w.dropPaletteItem();
            w.typeArgumentAndConfirm(QLatin1String(message));
        }
        // Double click on the second line: its message is in the field, OK replaces it in place.
        w.actions()->clearSelection();
        w.actions()->item(1)->setSelected(true);
        w.editor().sListView1DblClick();
        QVERIFY(w.form4.isVisible());
        QCOMPARE(w.form4.field()->text(), QStringLiteral("two"));
        QCOMPARE(w.form4.findChild<QWidget *>(QStringLiteral("Label1"))->property("text").toString(),
                 QStringLiteral("Сообщение : "));
        QCOMPARE(w.form4.field()->x(), w.form4.findChild<QWidget *>(QStringLiteral("Label1"))->geometry().right() + 1);
        w.typeArgumentAndConfirm(QStringLiteral("  "));
        QCOMPARE(w.actionCaptions(),
                 QStringList({line(QStringLiteral("one")), line(QStringLiteral("  ")), line(QStringLiteral("three"))}));
        QCOMPARE(w.editor().EventLists().lines(1), w.actionCaptions());

        // Cancel after a double click changes nothing; the next drop appends again.
        w.editor().sListView1DblClick();
        w.form4.field()->setText(QStringLiteral("changed"));
        QTest::mouseClick(w.form4.findChild<QPushButton *>(QStringLiteral("sBitBtn1")), Qt::LeftButton);
        QCOMPARE(w.form4.EditLineIndex, -1);
        w.dropPaletteItem();
        w.typeArgumentAndConfirm(QStringLiteral("four"));
        QCOMPARE(w.actionCaptions().size(), 4);
        QCOMPARE(w.actionCaptions().at(1), line(QStringLiteral("  ")));

        // Empty text or the closing marker: OK stays disabled.
        w.dropPaletteItem();
        QVERIFY(!w.form4.okButton()->isEnabled());
        w.form4.field()->setText(QStringLiteral("a]") + QChar(0x2063) + QStringLiteral("b"));
        QVERIFY(!w.form4.okButton()->isEnabled());
        w.form4.field()->setText(QStringLiteral("a]b"));
        QVERIFY(w.form4.okButton()->isEnabled());
        QTest::keyClick(w.form4.field(), Qt::Key_Return); // OK is the default button
        QCOMPARE(w.actionCaptions().last(), line(QStringLiteral("a]b")));

        // Two lines selected: a double click does nothing.
        w.actions()->item(0)->setSelected(true);
        w.actions()->item(1)->setSelected(true);
        w.editor().sListView1DblClick();
        QVERIFY(!w.form4.isVisible());
    }

    // The list cuts long lines; each line's hint shows all of it, and
    // follows the line wherever the line is written again.
    void actionLinesShowTheirWholeMessageAsAHint()
    {
        Windows w;
        w.openScriptEditor();
        w.chooseEvent(w.editor().controls().sBitBtn5, 0);
        const QString name = i18n::tx("FNCT.fnct1");
        const QString welcome = QStringLiteral("§6Welcome to the server, traveller! Read the rules at spawn "
                                               "and have fun: no griefing, no spam.");
        const QString markup = QStringLiteral("<b>not bold</b> &amp; <i>");
        for (const QString &message : {QStringLiteral("Hi"), welcome, markup}) {
            w.dropPaletteItem();
            w.typeArgumentAndConfirm(message);
        }
        QListWidget *actions = w.actions();
        // The list really cuts the long one.
        QVERIFY(actions->fontMetrics().horizontalAdvance(actions->item(1)->text()) > actions->viewport()->width());
        const QString welcomeHint = name + QStringLiteral(": ") + welcome;
        const QString markupHint = name + QStringLiteral(": ") + markup;
        QCOMPARE(shownHints(actions), QStringList({name + QStringLiteral(": Hi"), welcomeHint, markupHint}));
        QCOMPARE(w.actionCaptions().at(1), line(welcome)); // the line itself is unchanged

        // Edited through the argument dialog.
        actions->clearSelection();
        actions->item(0)->setSelected(true);
        w.editor().sListView1DblClick();
        w.typeArgumentAndConfirm(QStringLiteral("Hello, world"));
        const QStringList edited{name + QStringLiteral(": Hello, world"), welcomeHint, markupHint};
        QCOMPARE(shownHints(actions), edited);

        // Written back with OK and opened again.
        QTest::mouseClick(w.editor().controls().sBitBtn3, Qt::LeftButton);
        QCOMPARE(actions->count(), 0);
        w.openScriptEditor();
        QCOMPARE(shownHints(actions), edited);

        // Another language names the action differently: lines and hints
        // are rebuilt with the new name when the editor opens.
        QTest::mouseClick(w.editor().controls().sBitBtn3, Qt::LeftButton);
        base::IniImage language;
        language.writeString(QStringLiteral("FNCT"), QStringLiteral("fnct1"), QStringLiteral("Log to console"));
        i18n::texts().loadFrom(language);
        w.form1.applyTexts();
        w.openScriptEditor();
        QCOMPARE(w.actionCaptions().at(0),
                 QStringLiteral("Log to console") + script::actionLineBlock(line(QStringLiteral("Hello, world"))));
        QCOMPARE(shownHints(actions), QStringList({QStringLiteral("Log to console: Hello, world"),
                                                   QStringLiteral("Log to console: ") + welcome,
                                                   QStringLiteral("Log to console: ") + markup}));
        i18n::texts().resetToDefaults();
    }

    void changeDuplicateDeleteAndTheDuplicateCheck()
    {
        Windows w;
        w.openScriptEditor();
        ScriptEditorControls &c = w.editor().controls();
        w.chooseEvent(c.sBitBtn5, 0);
        w.dropPaletteItem();
        w.typeArgumentAndConfirm(QStringLiteral("a"));
        w.dropPaletteItem();
        w.typeArgumentAndConfirm(QStringLiteral("b"));

        // Change "enabled" into "disabled": same place, icon 2, lines move to list 3.
        w.form1.Timer1Timer();
        w.chooseEvent(c.sBitBtn7, 2);
        QCOMPARE(w.events()->count(), 1);
        QCOMPARE(w.events()->item(0)->text(), i18n::tx("EVNT.evnt3"));
        QCOMPARE(w.events()->item(0)->data(Qt::UserRole).toInt(), 2);
        QVERIFY(w.editor().EventLists().lines(1).isEmpty());
        QCOMPARE(w.editor().EventLists().lines(3).size(), 2);
        QCOMPARE(w.actionCaptions().size(), 2);

        // Duplicate onto "loaded": a new last entry, selected, with the same lines.
        w.chooseEvent(c.sBitBtn8, 1);
        QCOMPARE(w.events()->count(), 2);
        QVERIFY(w.events()->item(1)->isSelected());
        QCOMPARE(w.editor().EventLists().lines(2), w.editor().EventLists().lines(3));
        w.chooseEvent(c.sBitBtn5, 0);

        // All three present: every choice in every mode is refused.
        for (QPushButton *button : {c.sBitBtn5, c.sBitBtn7, c.sBitBtn8}) {
            for (int item = 0; item < 3; ++item) {
                m_env->messages().clear();
                w.events()->setCurrentRow(0);
                w.chooseEvent(button, item);
                QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg6")});
                QVERIFY(w.form2.isVisible());
                w.form2.close();
            }
        }
        QCOMPARE(w.events()->count(), 3);

        // Delete: no selection remains and the action list is empty.
        w.events()->setCurrentRow(0);
        QTest::mouseClick(c.sBitBtn6, Qt::LeftButton);
        QCOMPARE(w.events()->count(), 2);
        QVERIFY(w.events()->selectedItems().isEmpty());
        QVERIFY(w.actions()->count() == 0);
        w.form1.Timer1Timer();
        QVERIFY(!c.sBitBtn6->isEnabled() && !c.sBitBtn7->isEnabled() && !c.sBitBtn8->isEnabled());

        // OK: "loaded" (2 lines) written; the empty "enabled" event is not.
        QTest::mouseClick(c.sBitBtn3, Qt::LeftButton);
        const auto written = w.form1.state().project.document.mainScript().childElements();
        QCOMPARE(written.size(), size_t(1));
        QCOMPARE(written[0].name(), QStringLiteral("ev_2"));
        QCOMPARE(written[0].childElements().size(), size_t(2));
        QCOMPARE(written[0].childElements()[0].attribute(QStringLiteral("args")),
                 script::actionLineBlock(line(QStringLiteral("a"))));
    }

    void cancelLeavesTheScriptAsItWas()
    {
        Windows w({test::kHelloProject});
        const QByteArray before = w.form1.state().project.document.toBytes();
        w.openScriptEditor();
        QCOMPARE(w.events()->count(), 1);
        QVERIFY(w.events()->item(0)->isSelected());
        QCOMPARE(w.actionCaptions(), QStringList{line(QStringLiteral("Hello, world"))});
        QCOMPARE(w.actions()->item(0)->data(Qt::UserRole).toInt(), 0);
        w.chooseEvent(w.editor().controls().sBitBtn5, 1);
        QTest::mouseClick(w.editor().controls().sBitBtn4, Qt::LeftButton); // Cancel
        QCOMPARE(w.form1.state().project.document.toBytes(), before);

        // Opened again, it shows the same; OK on an unchanged script writes the same.
        w.openScriptEditor();
        QCOMPARE(w.events()->count(), 1);
        QTest::mouseClick(w.editor().controls().sBitBtn3, Qt::LeftButton);
        QCOMPARE(w.form1.state().project.document.toBytes(), before);
    }

    void newProjectClosesAnOpenScriptEditor()
    {
        Windows w({test::kHelloProject});
        w.openScriptEditor();
        w.form1.N2Click();
        QCOMPARE(w.form1.state().editorMode, 0);
        QVERIFY(!w.events()->isVisible());
        QCOMPARE(w.events()->count(), 0);
        QVERIFY(w.editor().EventLists().isEmpty());
    }

    void handEditedScriptsOpenSafely()
    {
        const QString mainScript = QStringLiteral("\u0440h\u0440_m\u0430i\u043F_fil\u0435");
        const QString text =
            QStringLiteral(
                "<plugin><settings main=\"P\\M\"/><phpscripts><%1>"
                "<foo><actn id=\"1\" args=\"x\"/></foo><ev_><actn id=\"1\"/></ev_><ev_101><actn id=\"1\"/></ev_101>"
                "<ev_77><actn id=\"1\" args=\"\u2063:[seventy-seven]\u2063\"/></ev_77>"
                "<ev_3><actn id=\"1\" args=\"\u2063:[first]\u2063\"/><actn args=\"\u2063:[no id]\u2063\"/>"
                "<actn id=\"1\"/></ev_3>"
                "<ev_3><actn id=\"1\" args=\"\u2063:[second]\u2063\"/></ev_3></%1></phpscripts></plugin>")
                .arg(mainScript);
        test::writeFile(m_env->path(QStringLiteral("odd.vlk")), text.toUtf8());
        Windows w({m_env->path(QStringLiteral("odd.vlk"))});
        w.openScriptEditor();
        QCOMPARE(w.form1.state().editorMode, 2);
        // Only the known event shows, once, with the lines of both copies.
        QCOMPARE(w.events()->count(), 1);
        QCOMPARE(w.events()->item(0)->text(), i18n::tx("EVNT.evnt3"));
        QCOMPARE(w.actionCaptions(),
                 QStringList({line(QStringLiteral("first")), i18n::tx("FNCT.fnct1"), line(QStringLiteral("second"))}));
        QVERIFY(m_env->messages().isEmpty());
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(ScriptEditorTest)
#include "ScriptEditorTest.moc"

#include "app/gui/TForm1.h"
#include "base/gui/FileDialogs.h"
#include "i18n/TextTable.h"
#include "project/gui/ProjectTree.h"
#include "project/gui/SettingsEditor.h"
#include "script/gui/TForm2.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"
#include "textformat/gui/TForm3.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <optional>

using namespace vorlune;
using vorlune::gui::TForm1;

namespace {

// Double-clicks a project tree node the way the tree reports it.
void doubleClickNode(TForm1 &window, QTreeWidgetItem *node)
{
    QTreeWidget *tree = window.projectTree().widget();
    tree->setCurrentItem(node);
    const QRect rect = tree->visualItemRect(node);
    // A real double click: press and release, then the double-click press.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
}

QString settingsAttribute(TForm1 &window, const char *name)
{
    return window.state().project.document.settings().attribute(QLatin1String(name));
}

void click(TForm1 &window, const char *name)
{
    auto *button = window.findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(button && button->isEnabled() && button->isVisible(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void trigger(TForm1 &window, const char *name)
{
    auto *action = window.findChild<QAction *>(QLatin1String(name));
    QVERIFY2(action && action->isEnabled(), name);
    action->trigger();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup()
    {
        gui::FileDialogs::clearQueuedAnswers();
        qApp->setStyleSheet(QString());
        m_env.reset();
    }

    void menusAndControlsCarryTheirNames()
    {
        TForm1 window({});
        for (const char *name : {"N1", "N7", "N13", "N8"})
            QVERIFY2(window.findChild<QMenu *>(QLatin1String(name)), name);
        for (const char *name :
             {"N2", "N3", "N4", "N5", "N6", "N16", "N9", "I1", "N14", "E1", "N10", "N11", "N12", "Lietuvi1"})
            QVERIFY2(window.findChild<QAction *>(QLatin1String(name)), name);
        for (const char *name : {"sBitBtn9", "sBitBtn10", "sBitBtn11", "sBitBtn12", "sBitBtn13"})
            QCOMPARE(window.findChild<QPushButton *>(QLatin1String(name))->size(), QSize(20, 20));
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("N2"))->text(), QStringLiteral("Новый плагин"));
        QCOMPARE(window.findChild<QMenu *>(QStringLiteral("N8"))->title(), QStringLiteral("Language"));
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("N12"))->text(), QStringLiteral("中文"));
        QVERIFY(!window.findChild<QAction *>(QStringLiteral("N2"))->icon().isNull());
        QVERIFY(window.findChild<QTimer *>(QStringLiteral("Timer1")));
    }

    void titleAndNodeFollowTheProject()
    {
        TForm1 window({test::kHelloProject});
        window.show();
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Vorlune [hello.vlk] {TEST EDITION}"));
        QCOMPARE(window.projectTree().mainScriptNode()->text(0), QStringLiteral("Main.php"));
        QCOMPARE(window.projectTree().settingsNode()->text(0), QStringLiteral("Настройки плагина"));
        QCOMPARE(window.projectTree().scriptsNode()->text(0), QStringLiteral(".php скрипты"));

        // A new main class renames the script node once the editor closes with OK.
        doubleClickNode(window, window.projectTree().settingsNode());
        QCOMPARE(window.state().editorMode, 1);
        window.settingsEditor().setValue(i18n::tx("CNFG.cnfg2"), QStringLiteral("Acme\\Core"));
        click(window, "sBitBtn1");
        QCOMPARE(window.state().editorMode, 0);
        QTRY_COMPARE(window.projectTree().mainScriptNode()->text(0), QStringLiteral("Core.php"));

        trigger(window, "N2");
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Vorlune [Новый плагин.vlk] {TEST EDITION}"));
        QTRY_COMPARE(window.projectTree().mainScriptNode()->text(0), QStringLiteral("Main.php"));
        QVERIFY(m_env->messages().isEmpty());
    }

    void treeOpensOneEditorAtATime()
    {
        TForm1 window({});
        window.show();
        QTreeWidgetItem *scripts = window.projectTree().scriptsNode();
        scripts->setExpanded(true);
        QCOMPARE(window.projectTree().scriptsSelectedIcon(), 4);
        doubleClickNode(window, window.projectTree().settingsNode());
        QCOMPARE(window.state().editorMode, 1);
        doubleClickNode(window, window.projectTree().mainScriptNode());
        QCOMPARE(window.state().editorMode, 1); // the open editor blocks the other
        click(window, "sBitBtn2");
        QCOMPARE(window.state().editorMode, 0);
        doubleClickNode(window, scripts); // the scripts node opens nothing
        QCOMPARE(window.state().editorMode, 0);
        scripts->setExpanded(false);
        QCOMPARE(window.projectTree().scriptsSelectedIcon(), 3);

        // No selection: a double click does nothing.
        window.FormClick();
        QVERIFY(window.projectTree().widget()->selectedItems().isEmpty());
        window.sTreeView1DblClick();
        QCOMPARE(window.state().editorMode, 0);
    }

    void validationMessagesInOrder()
    {
        TForm1 window({});
        window.show();
        gui::SettingsEditor &editor = window.settingsEditor();
        editor.OpenPluginSettings();
        const auto set = [&](const QString &label, const char *value) { editor.setValue(label, QLatin1String(value)); };
        using i18n::tx;
        set(QStringLiteral("API"), "1.0.");
        set(tx("CNFG.cnfg5"), "postworld");
        set(tx("CNFG.cnfg4"), "");
        set(tx("CNFG.cnfg1"), "");
        set(tx("CNFG.cnfg3"), "");
        set(tx("CNFG.cnfg2"), "Plugin.Main");
        click(window, "sBitBtn1");
        QCOMPARE(m_env->messages(),
                 QStringList({tx("MSG.msg1"), tx("MSG.msg2"),
                              QStringLiteral("Поле \"Автор Плагина\", не может быть пустым."),
                              QStringLiteral("Поле \"Имя Плагина\", не может быть пустым."),
                              QStringLiteral("Поле \"Версия Плагина\", не может быть пустым."), tx("MSG.msg4")}));
        QCOMPARE(window.state().editorMode, 1);
        QCOMPARE(settingsAttribute(window, "api"), QStringLiteral("1.0.0")); // nothing written

        m_env->messages().clear();
        set(QStringLiteral("API"), "1..0");
        set(tx("CNFG.cnfg5"), "STARTUP");
        set(tx("CNFG.cnfg4"), "Me");
        set(tx("CNFG.cnfg2"), "Plugin\\Main\\Sub");
        click(window, "sBitBtn1");
        QCOMPARE(m_env->messages(), QStringList({QStringLiteral("Поле \"Имя Плагина\", не может быть пустым."),
                                                 QStringLiteral("Поле \"Версия Плагина\", не может быть пустым.")}));
        m_env->messages().clear();
        set(tx("CNFG.cnfg1"), "Name");
        set(tx("CNFG.cnfg3"), "2");
        set(tx("CNFG.cnfg6"), "");
        click(window, "sBitBtn1");
        QVERIFY(m_env->messages().isEmpty());
        QCOMPARE(window.state().editorMode, 0);
        QCOMPARE(settingsAttribute(window, "api"), QStringLiteral("1..0"));
        QCOMPARE(settingsAttribute(window, "main"), QStringLiteral("Plugin\\Main\\Sub"));
        QCOMPARE(settingsAttribute(window, "site"), QString());
        QVERIFY(!editor.grid()->isVisible());
    }

    void cancelIsRefusedWhileTheStoredSettingsBreakARule()
    {
        test::writeFile(m_env->path(QStringLiteral("bad.vlk")),
                        "<plugin><settings name=\"\" api=\"x\" loading=\"STARTUP\" creator=\"c\" version=\"1\" "
                        "main=\"A\\B\"/><phpscripts/></plugin>");
        TForm1 window({m_env->path(QStringLiteral("bad.vlk"))});
        window.show();
        QVERIFY(m_env->messages().isEmpty()); // broken settings open normally
        window.settingsEditor().OpenPluginSettings();
        window.settingsEditor().setValue(QStringLiteral("API"), QStringLiteral("1.0.0"));
        click(window, "sBitBtn2");
        QCOMPARE(m_env->messages(),
                 QStringList({i18n::tx("MSG.msg1"), QStringLiteral("Поле \"Имя Плагина\", не может быть пустым.")}));
        QCOMPARE(window.state().editorMode, 1);

        // Cancel on sound stored settings drops the grid's changes.
        m_env->messages().clear();
        window.settingsEditor().setValue(i18n::tx("CNFG.cnfg1"), QStringLiteral("Fixed"));
        click(window, "sBitBtn1");
        QCOMPARE(window.state().editorMode, 0);
        window.settingsEditor().OpenPluginSettings();
        window.settingsEditor().setValue(i18n::tx("CNFG.cnfg1"), QStringLiteral("Changed"));
        click(window, "sBitBtn2");
        QCOMPARE(window.state().editorMode, 0);
        QCOMPARE(settingsAttribute(window, "name"), QStringLiteral("Fixed"));
        QVERIFY(m_env->messages().isEmpty());
    }

    void savingANewProjectAsksForAPath()
    {
        TForm1 window({});
        window.show();
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("demo")), 1});
        click(window, "sBitBtn11");
        QVERIFY(QFile::exists(m_env->path(QStringLiteral("demo.vlk"))));
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Vorlune [demo.vlk] {TEST EDITION}"));

        // The next save writes the same file without a dialog.
        QFile::remove(m_env->path(QStringLiteral("demo.vlk")));
        click(window, "sBitBtn11");
        QVERIFY(QFile::exists(m_env->path(QStringLiteral("demo.vlk"))));

        // Save as: capitals get ".vlk" appended; 3 characters or fewer save nothing.
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("x.VLK")), 1});
        trigger(window, "N5");
        QVERIFY(QFile::exists(m_env->path(QStringLiteral("x.VLK.vlk"))));
        gui::FileDialogs::queueAnswer({QStringLiteral("abc"), 1});
        trigger(window, "N5");
        QCOMPARE(window.state().project.ProjectFileName, QStringLiteral("x.VLK.vlk"));
        QVERIFY(m_env->messages().isEmpty());
    }

    void badFilesKeepTheWindowWorking()
    {
        TForm1 window({test::kHelloProject});
        window.show();
        test::writeFile(m_env->path(QStringLiteral("broken.vlk")), "<plugin><settings>");
        test::writeFile(m_env->path(QStringLiteral("demo.xml")), "<plugin/>");

        window.settingsEditor().OpenPluginSettings();
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("demo.xml")), 1});
        click(window, "sBitBtn10");
        QCOMPARE(m_env->messages(), QStringList{i18n::tx("MSG.msg5")});
        QCOMPARE(window.state().editorMode, 0); // the open editor is closed all the same

        m_env->messages().clear();
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("broken.vlk")), 1});
        click(window, "sBitBtn10");
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY(m_env->messages().first().contains(QStringLiteral("broken.vlk")));
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Vorlune [hello.vlk] {TEST EDITION}"));
        QCOMPARE(window.state().project.ProjectFilePath, test::kHelloProject);
    }

    void failedSaveThroughTheToolBarIsReported()
    {
        TForm1 window({});
        window.show();
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("missing/dir/p.vlk")), 1});
        click(window, "sBitBtn11");
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().contains(QStringLiteral("p.vlk")), qPrintable(m_env->messages().first()));
        QVERIFY(window.state().project.ProjectFilePath.isEmpty());
        QCOMPARE(window.state().project.ProjectFileName, QStringLiteral("Новый плагин.vlk"));
        // The window keeps working.
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("ok.vlk")), 1});
        click(window, "sBitBtn11");
        QCOMPARE(window.state().project.ProjectFileName, QStringLiteral("ok.vlk"));
    }

    void scriptEditorRefusesAProjectWithoutScripts()
    {
        test::writeFile(m_env->path(QStringLiteral("noscripts.vlk")), "<plugin><settings main=\"A\\B\"/></plugin>");
        TForm1 window({m_env->path(QStringLiteral("noscripts.vlk"))});
        window.show();
        window.projectTree().scriptsNode()->setExpanded(true);
        QTRY_COMPARE(window.projectTree().mainScriptNode()->text(0), QStringLiteral("B.php"));
        doubleClickNode(window, window.projectTree().mainScriptNode());
        QCOMPARE(m_env->messages().size(), 1);
        QVERIFY2(m_env->messages().first().contains(QStringLiteral("phpscripts")),
                 qPrintable(m_env->messages().first()));
        QCOMPARE(window.state().editorMode, 0);
        doubleClickNode(window, window.projectTree().settingsNode()); // the window goes on
        QCOMPARE(window.state().editorMode, 1);
    }

    void layoutOfA689PixelWindow()
    {
        TForm1 window({});
        window.show();
        window.resize(689, 475);
        window.settingsEditor().OpenPluginSettings();
        window.Timer1Timer();
        QCOMPARE(window.width(), 689);
        QCOMPARE(window.settingsEditor().okButton()->x(), 613);
        QCOMPARE(window.settingsEditor().cancelButton()->x(), 539);
        QCOMPARE(window.settingsEditor().grid()->x(), 185 + 20);
        QCOMPARE(window.settingsEditor().grid()->y(), 20);
        QCOMPARE(window.projectTree().widget()->geometry(), QRect(0, 20, 185, 475 - 20));

        auto *events = window.findChild<QWidget *>(QStringLiteral("sListView2"));
        QCOMPARE(events->geometry(), QRect(205, 45, 150, 475 - 169));
        auto *remove = window.findChild<QWidget *>(QStringLiteral("sBitBtn6"));
        auto *edit = window.findChild<QWidget *>(QStringLiteral("sBitBtn7"));
        QCOMPARE(remove->width(), 75);
        QCOMPARE(edit->x(), 205 + 75);
        QCOMPARE(remove->y(), events->y() + events->height() + 25 + 25);

        window.resize(900, 600);
        QTRY_COMPARE(window.settingsEditor().okButton()->x(), 900 - 52 - 24);
    }

    void splitterKeepsThePanelBetweenItsLimits()
    {
        TForm1 window({});
        window.show();
        QWidget *splitter = window.findChild<QWidget *>(QStringLiteral("sSplitter1"));
        QWidget *panel = window.findChild<QWidget *>(QStringLiteral("sPanel1"));
        QCOMPARE(splitter->width(), 8);
        // Drags to a point given in the main area's coordinates; the splitter
        // itself follows the panel after each refresh.
        const auto dragTo = [&](int x) {
            QTest::mouseMove(splitter, QPoint(x - splitter->x(), 50));
            window.Timer1Timer();
        };
        QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(4, 50));
        dragTo(185 + 4 + 500);
        QCOMPARE(panel->width(), 270);
        QCOMPARE(splitter->x(), 270);
        dragTo(4);
        QCOMPARE(panel->width(), 150);
        dragTo(170 + 4);
        QCOMPARE(panel->width(), 170);
        QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(4, 50));
        // The tree and the editors follow the new width.
        QTRY_COMPARE(window.projectTree().widget()->width(), 170);
        QTRY_COMPARE(window.settingsEditor().grid()->x(), 170 + 20);
    }

    void pseudoModalLockSparesTheTextFormatDialog()
    {
        TForm1 window({});
        gui::TForm2 eventDialog;
        gui::TForm3 textFormat;
        gui::TForm5 runSettings(window.runSettingsContext());
        textFormat.show();
        window.attachWindows({&eventDialog, &textFormat, nullptr, &runSettings});
        window.show();
        trigger(window, "N14");
        QCOMPARE(runSettings.windowTitle(), i18n::tx("TTL.ttl5"));
        QVERIFY(runSettings.isVisible() && runSettings.isEnabled());
        QVERIFY(!window.isEnabled());
        QVERIFY(!eventDialog.isEnabled());
        QVERIFY(textFormat.isEnabled());
        // Centred over the main window.
        QCOMPARE(runSettings.x(),
                 window.frameGeometry().left() + window.frameGeometry().width() / 2 - runSettings.width() / 2);
        runSettings.close();
        QVERIFY(window.isEnabled());
        QVERIFY(eventDialog.isEnabled());
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(MainWindowTest)
#include "MainWindowTest.moc"

#include "app/gui/SaveQuestion.h"
#include "app/gui/TForm1.h"
#include "base/gui/FileDialogs.h"
#include "project/gui/SettingsEditor.h"
#include "script/ActionCatalogue.h"
#include "script/gui/ScriptEditor.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <optional>

using namespace vorlune;
using vorlune::gui::TForm1;
using Answer = vorlune::gui::SaveQuestion::Answer;

namespace {

// Closes the settings editor with OK (a change) or Cancel (none), then
// changes the document so a save shows in the file.
void editSettings(TForm1 &window, bool ok)
{
    window.settingsEditor().OpenPluginSettings();
    QPushButton *button = ok ? window.settingsEditor().okButton() : window.settingsEditor().cancelButton();
    QTest::mouseClick(button, Qt::LeftButton);
    window.state().project.document.settings().setAttribute(QStringLiteral("version"), QStringLiteral("9.9.9"));
}

// Leaves an editor open: unchanged ("open"), with 9.9.9 being typed as the
// version ("grid", "refused" with a bad api), or with a line printing 9.9.9.
void leaveEditorOpen(TForm1 &window, const QString &editor)
{
    if (editor == QLatin1String("script")) {
        window.scriptEditor().OpenPhpScript();
        window.scriptEditor().writeActionLine(-1, script::makeActionLine(1, {QStringLiteral("9.9.9")}), 0);
        return window.scriptEditor().SaveEventList(window.scriptEditor().selectedEventId());
    }
    QTableWidget *grid = window.settingsEditor().grid();
    window.settingsEditor().OpenPluginSettings();
    if (editor == QLatin1String("refused"))
        grid->item(3, 1)->setText(QStringLiteral("x"));
    grid->editItem(grid->item(2, 1)); // an editor opened on a cell changes nothing yet
    if (editor != QLatin1String("open"))
        grid->findChild<QLineEdit *>()->setText(QStringLiteral("9.9.9"));
}

} // namespace

class UnsavedChangesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        gui::SaveQuestion::clearQueuedAnswers(); // other tests leave what they were asked
        m_env.emplace();
    }
    void cleanup()
    {
        gui::SaveQuestion::clearQueuedAnswers();
        gui::FileDialogs::clearQueuedAnswers();
        m_env.reset();
    }

    void changedProjectsAskOnce_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("editor"); // "": closed, else see leaveEditorOpen
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");  // -1: none queued
        QTest::addColumn<bool>("goesOn"); // the project is replaced or the window closed
        QTest::addColumn<bool>("saved");
        for (const char *action : {"new", "open", "close"}) {
            const QByteArray tag(action);
            QTest::newRow(tag + ", unchanged") << action << "" << false << -1 << true << false;
            QTest::newRow(tag + ", save") << action << "" << true << int(Answer::Save) << true << true;
            QTest::newRow(tag + ", discard") << action << "" << true << int(Answer::Discard) << true << false;
            QTest::newRow(tag + ", cancel") << action << "" << true << int(Answer::Cancel) << false << false;
            QTest::newRow(tag + ", open, unchanged") << action << "open" << false << -1 << true << false;
            QTest::newRow(tag + ", grid, save") << action << "grid" << true << int(Answer::Save) << true << true;
            QTest::newRow(tag + ", grid, discard") << action << "grid" << true << int(Answer::Discard) << true << false;
            QTest::newRow(tag + ", grid, cancel") << action << "grid" << true << int(Answer::Cancel) << false << false;
            QTest::newRow(tag + ", refused") << action << "refused" << true << int(Answer::Save) << false << false;
            QTest::newRow(tag + ", script") << action << "script" << true << int(Answer::Save) << true << true;
        }
    }
    void changedProjectsAskOnce()
    {
        QFETCH(QString, action);
        QFETCH(QString, editor);
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        QFETCH(bool, saved);
        const QString path = m_env->path(QStringLiteral("p.vlk"));
        QVERIFY(QFile::copy(test::kHelloProject, path));
        TForm1 window({path});
        window.show();
        editor.isEmpty() ? editSettings(window, changed) : leaveEditorOpen(window, editor);
        if (answer >= 0)
            gui::SaveQuestion::queueAnswer(Answer(answer));

        bool closed = false;
        if (action == QLatin1String("new")) {
            window.findChild<QAction *>(QStringLiteral("N2"))->trigger();
        } else if (action == QLatin1String("open")) {
            gui::FileDialogs::queueAnswer({test::kHelloProject, 1});
            window.findChild<QAction *>(QStringLiteral("N3"))->trigger();
            if (goesOn) // the dialog opens in the project's folder
                QCOMPARE(gui::FileDialogs::lastStart(), QFileInfo(path).absolutePath());
        } else {
            closed = window.close();
        }

        QCOMPARE(gui::SaveQuestion::askedTexts(),
                 changed ? QStringList{QStringLiteral("Проект \"p.vlk\" изменён. Сохранить изменения?")}
                         : QStringList());
        const QString now = window.state().project.ProjectFilePath;
        QCOMPARE(action == QLatin1String("close") ? closed : now != path, goesOn);
        if (!goesOn) // what was not saved is still there, in an open editor too
            QCOMPARE(editor.isEmpty() ? window.state().project.document.settings().attribute(QStringLiteral("version"))
                                      : window.settingsEditor().grid()->item(2, 1)->text(),
                     QStringLiteral("9.9.9"));
        QCOMPARE(test::readFile(path).contains("9.9.9"), saved);
        QCOMPARE(m_env->messages().size(), editor == QLatin1String("refused") ? 1 : 0); // MSG.msg1, the editor stays
    }

    // Save goes through the ordinary paths; when it does not save, nothing goes on.
    void aSaveThatDoesNotHappenStopsTheAction()
    {
        TForm1 window({});
        window.show();
        editSettings(window, true);
        gui::SaveQuestion::queueAnswer(Answer::Save);
        gui::FileDialogs::queueAnswer({}); // save as, cancelled
        QVERIFY(!window.close());
        // A new project's save as starts in the home folder with its name proposed.
        QCOMPARE(gui::FileDialogs::lastStart(), QDir::homePath() + QStringLiteral("/Новый плагин.vlk"));

        gui::SaveQuestion::queueAnswer(Answer::Save);
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("gone/p.vlk")), 1}); // the folder is missing
        QVERIFY(!window.close());
        QCOMPARE(m_env->messages().size(), 1);

        gui::SaveQuestion::queueAnswer(Answer::Save);
        gui::FileDialogs::queueAnswer({m_env->path(QStringLiteral("p.vlk")), 1});
        QVERIFY(window.close());
        QVERIFY(test::readFile(m_env->path(QStringLiteral("p.vlk"))).contains("9.9.9"));
        QCOMPARE(gui::SaveQuestion::askedTexts().size(), 3);
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(UnsavedChangesTest)
#include "UnsavedChangesTest.moc"

#include "app/gui/SaveQuestion.h"
#include "app/gui/TForm1.h"
#include "base/gui/FileDialogs.h"
#include "project/gui/SettingsEditor.h"
#include "support/SharedInputs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
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
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");  // -1: none queued
        QTest::addColumn<bool>("goesOn"); // the project is replaced or the window closed
        QTest::addColumn<bool>("saved");
        for (const char *action : {"new", "open", "close"}) {
            const QByteArray tag(action);
            QTest::newRow(tag + ", unchanged") << action << false << -1 << true << false;
            QTest::newRow(tag + ", save") << action << true << int(Answer::Save) << true << true;
            QTest::newRow(tag + ", discard") << action << true << int(Answer::Discard) << true << false;
            QTest::newRow(tag + ", cancel") << action << true << int(Answer::Cancel) << false << false;
        }
    }
    void changedProjectsAskOnce()
    {
        QFETCH(QString, action);
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        QFETCH(bool, saved);
        const QString path = m_env->path(QStringLiteral("p.vlk"));
        QVERIFY(QFile::copy(test::kHelloProject, path));
        TForm1 window({path});
        window.show();
        editSettings(window, changed);
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
        if (!goesOn)
            QCOMPARE(window.state().project.document.settings().attribute(QStringLiteral("version")),
                     QStringLiteral("9.9.9"));
        QCOMPARE(test::readFile(path).contains("9.9.9"), saved);
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

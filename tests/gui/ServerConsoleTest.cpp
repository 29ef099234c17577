#include "testrun/gui/ServerConsole.h"
#include "app/ConsoleFormatCodes.h"
#include "base/gui/PseudoModal.h"
#include "i18n/ExtraTexts.h"
#include "support/TestCore.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <QTextBlock>
#include <QTextDocument>
#include <cerrno>

using namespace vorlune;
using gui::ServerConsole;

namespace {

const QString kPhp = QStringLiteral("/usr/bin/php");
const QString kShell = QStringLiteral("/bin/sh");
constexpr int kWaitMs = 15000;

// A console running a real program in a fresh folder; gone when the test ends.
struct Console {
    Console(const QString &program, const QStringList &arguments, QWidget *owner = nullptr)
    {
        window =
            new ServerConsole({program, arguments, env.home()}, QIcon(), app::consoleFormatCodes({85, 85, 85}), owner);
        window->setKillDelay(300);
        window->start();
    }
    ~Console() { delete window; }

    QString text() const { return view()->toPlainText(); }
    QPlainTextEdit *view() const { return window->findChild<QPlainTextEdit *>(); }
    QLineEdit *input() const { return window->findChild<QLineEdit *>(QStringLiteral("ConsoleInput")); }
    QPushButton *stop() const { return window->findChild<QPushButton *>(QStringLiteral("ConsoleStop")); }
    // The format of the last character of the first place the text is shown.
    QTextCharFormat formatOf(const QString &shown) const { return view()->document()->find(shown).charFormat(); }

    test::TestEnvironment env;
    QPointer<ServerConsole> window;
};

QString php(const char *script) { return QString::fromUtf8(script); }

} // namespace

class ServerConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsStyledOutputAndTalksToTheServer()
    {
        Console console(kPhp, {QStringLiteral("-r"),
                               php("echo \"\\e[1;31mred\\e[0m plain\\n\\xc2\\xa7aGreen\\n\\e]0;My server\\x07\";"
                                   "while (($l = fgets(STDIN)) !== false) { echo 'got ' . $l;"
                                   " if (trim($l) == 'stop') exit(0); }")});
        QCOMPARE(console.window->objectName(), QStringLiteral("ServerConsole"));
        QCOMPARE(console.window->windowTitle(), QStringLiteral("Vorlune : Test"));
        QVERIFY(console.window->isMaximized());
        QCOMPARE(console.stop()->text(), QStringLiteral("Стоп"));
        QCOMPARE(console.input()->placeholderText(), QStringLiteral("Команда серверу"));
        const QFontInfo font(console.view()->font());
        QVERIFY(font.fixedPitch());
        QCOMPARE(font.pointSize(), 10);

        QTRY_COMPARE_WITH_TIMEOUT(console.window->windowTitle(), QStringLiteral("My server"), kWaitMs);
        QCOMPARE(console.text(), QStringLiteral("red plain\nGreen\n"));
        const QTextCharFormat red = console.formatOf(QStringLiteral("red"));
        QCOMPARE(red.foreground().color(), QColor(205, 0, 0));
        QCOMPARE(red.fontWeight(), int(QFont::Bold));
        QCOMPARE(console.formatOf(QStringLiteral("plain")).fontWeight(), int(QFont::Normal));
        QCOMPARE(console.formatOf(QStringLiteral("Green")).foreground().color(), QColor(0, 255, 0));

        QTest::keyClicks(console.input(), QStringLiteral("say "));
        console.input()->insert(QStringLiteral("привет"));
        QTest::keyClick(console.input(), Qt::Key_Return);
        QVERIFY(console.input()->text().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QStringLiteral("got say привет\n")), kWaitMs);
        QTest::keyClick(console.input(), Qt::Key_Up);
        QCOMPARE(console.input()->text(), QStringLiteral("say привет"));
        QTest::keyClick(console.input(), Qt::Key_Down);
        QVERIFY(console.input()->text().isEmpty());

        // "stop" ends this server cleanly, and the console closes by itself.
        QTest::mouseClick(console.stop(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(console.window.isNull(), kWaitMs);
    }

    void failureKeepsTheConsoleOpen()
    {
        // The arguments reach the program as they are, "%*" included.
        Console console(kShell, {QStringLiteral("-c"), QStringLiteral("pwd; printf '[%s]' \"$@\"; exit 3"),
                                 QStringLiteral("sh"), QStringLiteral("%*"), QStringLiteral("two words")});
        QTRY_VERIFY_WITH_TIMEOUT(!console.window->serverRunning() && !console.window->hasPendingOutput(), kWaitMs);
        QCOMPARE(console.text(), console.env.home().chopped(1) + QStringLiteral("\n[%*][two words]\n"
                                                                                "Сервер завершил работу с кодом 3\n"));
        QVERIFY(console.window->isVisible());
        QVERIFY(!console.input()->isEnabled());
    }

    void programThatCannotStartIsReported()
    {
        test::TestEnvironment files;
        const QString script = files.path(QStringLiteral("server.sh"));
        test::writeFile(script, "#!/bin/sh\necho never\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner);
        Console console(script, {});
        QTRY_VERIFY_WITH_TIMEOUT(console.text().startsWith(QStringLiteral("Не удалось запустить сервер: ")), kWaitMs);
        // The reason in the interface language of Qt's own texts.
        QVERIFY2(console.text().contains(qt_error_string(EACCES)), qPrintable(console.text()));
        QVERIFY(console.window->isVisible());
    }

    void serverThatIgnoresStopIsEnded()
    {
        const QStringList stubborn{QStringLiteral("-r"), php("echo \"up\\n\"; while (true) sleep(1);")};
        {
            Console console(kPhp, stubborn);
            QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QStringLiteral("up")), kWaitMs);
            QTest::mouseClick(console.stop(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!console.window->serverRunning(), kWaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QStringLiteral("завершён принудительно")), kWaitMs);
            QVERIFY(console.window->isVisible());
        }
        // Closing waits for the server's end, then the window goes.
        Console console(kPhp, stubborn);
        QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QStringLiteral("up")), kWaitMs);
        console.window->close();
        QVERIFY(console.window && console.window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(console.window.isNull(), kWaitMs);
    }

    void childrenLeftByTheServerAreEndedAndNamed()
    {
        // The child keeps the output open, as today's core's console reader does.
        Console console(kShell, {QStringLiteral("-c"), QStringLiteral("sleep 600 & echo $!; read line; exit 0")});
        QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QLatin1Char('\n')), kWaitMs);
        const qint64 child = console.text().section(QLatin1Char('\n'), 0, 0).toLongLong();
        QVERIFY(test::processRuns(child));
        QTest::mouseClick(console.stop(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!console.window->serverRunning() && !console.window->hasPendingOutput(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!test::processRuns(child), kWaitMs);
        // Not a clean end: the console stays open and says what it did.
        QVERIFY(console.window && console.window->isVisible());
        QCOMPARE(console.text(), QString::number(child) + QLatin1Char('\n') +
                                     i18n::extraText("console_children_killed") + QLatin1Char('\n'));
    }

    void phpWithoutTheCoresExtensionsGetsOneHint()
    {
        // Two runs of the check's words, as a core that checks twice would print them.
        const QString error = QStringLiteral("echo '[ERROR] Selected PHP binary does not satisfy some requirements.'; "
                                             "echo ' - Unable to find the LevelDB (leveldb) extension.'; ");
        Console console(kShell, {QStringLiteral("-c"), error + error + QStringLiteral("exit 1")});
        QTRY_VERIFY_WITH_TIMEOUT(!console.window->serverRunning() && !console.window->hasPendingOutput(), kWaitMs);
        const QStringList lines = console.text().split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(4), (QStringList{i18n::extraText("console_php_extensions"),
                                            QStringLiteral("Сервер завершил работу с кодом 1"), QString()}));
        QCOMPARE(console.text().count(i18n::extraText("console_php_extensions")), 1);
    }

    void staysUsableBesidePseudoModalDialogs()
    {
        QWidget mainWindow;
        mainWindow.show();
        Console console(kPhp, {QStringLiteral("-r"), php("while (($l = fgets(STDIN)) !== false) echo 'got ' . $l;")},
                        &mainWindow);
        QWidget dialog;
        gui::ShowFormModal(&dialog);
        QVERIFY(!mainWindow.isEnabled());
        QVERIFY(console.window->isEnabled() && console.input()->isEnabled() && console.stop()->isEnabled());
        QTest::keyClicks(console.input(), QStringLiteral("list"));
        QTest::keyClick(console.input(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(console.text().contains(QStringLiteral("got list\n")), kWaitMs);
        dialog.close();
        QVERIFY(mainWindow.isEnabled() && console.window->isEnabled());
    }

    void floodKeepsTheLastLines()
    {
        Console console(kShell, {QStringLiteral("-c"), QStringLiteral("seq 1 25000; exit 1")});
        QTRY_VERIFY_WITH_TIMEOUT(!console.window->serverRunning() && !console.window->hasPendingOutput(), kWaitMs);
        const QTextDocument *document = console.view()->document();
        QCOMPARE(document->blockCount(), 10000);
        QCOMPARE(document->findBlockByNumber(9997).text(), QStringLiteral("25000"));
        QCOMPARE(document->findBlockByNumber(9998).text(), QStringLiteral("Сервер завершил работу с кодом 1"));
        // Lines follow each other without a gap where old ones were dropped.
        const int first = document->firstBlock().text().toInt();
        QCOMPARE(document->findBlockByNumber(100).text().toInt(), first + 100);
    }
};

VORLUNE_TEST(ServerConsoleTest)
#include "ServerConsoleTest.moc"

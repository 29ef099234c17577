#include "app/AppState.h"
#include "app/LanguageDownload.h"
#include "base/FileIo.h"
#include "support/Programs.h"
#include "support/TestEnvironment.h"
#include "support/TestRegistry.h"

#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <optional>

using namespace vorlune;
using test::readFile;

namespace {

// A language file just under the read limit: whole, but too large once the
// texts it lacks are written back into it.
QByteArray nearlyFullLanguageFile()
{
    QByteArray bytes = "[VORLUNE]\r\nlanguage=xx\r\n";
    const QByteArray section = "[padding-section-with-a-long-name]\r\nk=v\r\n";
    while (bytes.size() + section.size() < fileio::kIniFileLimit - 100)
        bytes += section.left(10) + QByteArray::number(bytes.size()) + section.mid(10);
    return bytes;
}

} // namespace

class LanguageFileSizeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    // The download is refused whole: the old file and texts stay.
    void aDownloadThatWouldOutgrowTheLimitChangesNothing()
    {
        const QString languageFile = m_env->path(QStringLiteral("Language.ini"));
        test::writeFile(languageFile, "[VORLUNE]\r\nlanguage=en\r\n");
        const QString offered = m_env->path(QStringLiteral("site.ini"));
        test::writeFile(offered, nearlyFullLanguageFile());
        testrun::HttpClient client(app::languageClientOptions());
        app::TSreamDownload worker(client, QUrl::fromLocalFile(offered).toString(), languageFile);
        QSignalSpy failed(&worker, &app::TSreamDownload::failed);
        QSignalSpy downloaded(&worker, &app::TSreamDownload::downloaded);
        worker.start();
        QVERIFY(worker.wait(60000));
        QCOMPARE(downloaded.count(), 0);
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.first().first().toString().contains(QLatin1String("larger than 16 MB")),
                 qPrintable(failed.first().first().toString()));
        QCOMPARE(readFile(languageFile), QByteArray("[VORLUNE]\r\nlanguage=en\r\n"));
    }

    // One placed by hand loads, and is not written back past the limit,
    // which would refuse it at every later start.
    void aFileThatWouldOutgrowTheLimitIsNotWrittenBack()
    {
        const QString languageFile = m_env->path(QStringLiteral("Language.ini"));
        const QByteArray bytes = nearlyFullLanguageFile();
        test::writeFile(languageFile, bytes);
        app::AppState state;
        state.programFolder = m_env->home();
        app::loadLanguage(state);
        QCOMPARE(readFile(languageFile), bytes);
        app::AppState again;
        again.programFolder = m_env->home();
        app::loadLanguage(again);
        QVERIFY(m_env->messages().isEmpty());
    }

private:
    std::optional<test::TestEnvironment> m_env; // made afresh for each test function
};

VORLUNE_TEST(LanguageFileSizeTest)
#include "LanguageFileSizeTest.moc"

#include "app/LanguageDownload.h"

#include "base/Error.h"
#include "base/FileIo.h"
#include "i18n/TextTable.h"

#include <exception>
#include <new>

namespace vorlune::app {

testrun::HttpClientOptions languageClientOptions()
{
    testrun::HttpClientOptions options;
    options.userAgent = QStringLiteral("Mozilla/3.0 (compatible; Indy Library)");
    options.followRedirects = false;
    options.allowFileUrls = true;
    // A language file is read back with the limit of INI files.
    options.maxBodyBytes = fileio::kIniFileLimit;
    return options;
}

TSreamDownload::TSreamDownload(testrun::HttpClient &client, const QString &url, const QString &languageFile,
                               QObject *parent)
    : QThread(parent), m_client(client), m_url(url), m_languageFile(languageFile)
{
}

TSreamDownload::~TSreamDownload()
{
    cancel();
    wait();
}

void TSreamDownload::run()
{
    QString failure;
    try {
        testrun::HttpProgress progress;
        progress.cancel = &m_cancel;
        const QByteArray LanguageBuffer = m_client.get(m_url, progress);
        // Read and completed here, not on the window's thread: a file of a
        // million sections takes seconds.
        base::IniImage language = base::IniImage::fromBytes(LanguageBuffer);
        i18n::TextTable::completeLanguageImage(language);
        const QByteArray completed = language.toBytes();
        if (completed.size() > fileio::kIniFileLimit)
            throw Error(QStringLiteral("The language file \"%1\" would be larger than %2 MB once the texts it lacks "
                                       "are added, so it is not used")
                            .arg(m_url)
                            .arg(fileio::kIniFileLimit >> 20));
        fileio::writeAtomically(m_languageFile, completed);
        m_language = std::move(language);
    } catch (const Error &error) {
        failure = error.text();
    } catch (const std::bad_alloc &) {
        failure = QStringLiteral("Not enough memory for the download");
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    if (m_cancel)
        return;
    if (failure.isEmpty())
        Q_EMIT downloaded();
    else
        Q_EMIT failed(failure);
}

} // namespace vorlune::app

#include "testrun/DownloadState.h"

#include <utility>

namespace vorlune::testrun {

QString SharedDownloadState::downloadUrl() const
{
    const QMutexLocker lock(&m_mutex);
    return m_url;
}

void SharedDownloadState::setDownloadUrl(const QString &url)
{
    const QMutexLocker lock(&m_mutex);
    m_url = url;
}

QString SharedDownloadState::notifierMessage() const
{
    const QMutexLocker lock(&m_mutex);
    return m_notifierMessage;
}

void SharedDownloadState::setNotifierMessage(const QString &message)
{
    const QMutexLocker lock(&m_mutex);
    m_notifierMessage = message;
}

QString SharedDownloadState::takeNotifierMessage()
{
    const QMutexLocker lock(&m_mutex);
    return std::exchange(m_notifierMessage, QString());
}

SharedDownloadState &sharedDownloadState()
{
    static SharedDownloadState state;
    return state;
}

QString downloadFailureMessage(const QString &networkMessage, const QString &errorText)
{
    return networkMessage + QStringLiteral("\r\nCODE [") + errorText + QLatin1Char(']');
}

} // namespace vorlune::testrun

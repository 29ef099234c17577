#include "support/TestEnvironment.h"

#include "base/Messages.h"
#include "i18n/TextTable.h"

#include <QDir>
#include <QFile>

namespace vorlune::test {

TestEnvironment::TestEnvironment()
{
    const QString root = m_dir.path();
    QDir(root).mkpath(QStringLiteral("home"));
    QDir(root).mkpath(QStringLiteral("cache"));
    QDir(root).mkpath(QStringLiteral("data"));
    qputenv("VORLUNE_HOME", (root + QStringLiteral("/home")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    i18n::texts().resetToDefaults();
    m_previousSink = Messages::setSink([this](const QString &text) { m_messages << text; });
}

TestEnvironment::~TestEnvironment() { Messages::setSink(m_previousSink); }

QString TestEnvironment::home() const { return m_dir.path() + QStringLiteral("/home/"); }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QString fixture(const QString &name) { return QStringLiteral(VORLUNE_FIXTURES "/") + name; }

} // namespace vorlune::test

#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace vorlune::test {

// A fresh program folder, cache and data folder for one test: sets
// VORLUNE_HOME, XDG_CACHE_HOME and XDG_DATA_HOME, and restores the text
// table's defaults. Records every message shown while it lives.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString home() const; // ends in "/"
    QString path(const QString &name) const { return home() + name; }
    QStringList &messages() { return m_messages; }

private:
    QTemporaryDir m_dir;
    QStringList m_messages;
    std::function<void(const QString &)> m_previousSink;
};

QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
QString fixture(const QString &name);

} // namespace vorlune::test

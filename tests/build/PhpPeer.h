#pragma once

// Runs php-cli as the reference reader of the archives we write.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace vorlune::test {

inline QString phpProgram() { return QStandardPaths::findExecutable(QStringLiteral("php")); }

// Runs `code` with the arguments; gives stdout, or an object {"error": ...}
// as JSON text when php fails.
inline QByteArray runPhp(const QString &code, const QStringList &arguments, bool readOnly = true)
{
    QProcess php;
    php.start(phpProgram(),
              QStringList{QStringLiteral("-d"),
                          readOnly ? QStringLiteral("phar.readonly=1") : QStringLiteral("phar.readonly=0"),
                          QStringLiteral("-r"), code} +
                  arguments);
    if (!php.waitForFinished(60000) || php.exitStatus() != QProcess::NormalExit || php.exitCode() != 0) {
        const QString text = QString::fromUtf8(php.readAllStandardOutput() + php.readAllStandardError());
        return QJsonDocument(QJsonObject{{QStringLiteral("error"), text}}).toJson();
    }
    return php.readAllStandardOutput();
}

// Opens a phar with PHP and reports its files (base64 contents), signature,
// metadata and metadata key order.
inline QJsonObject openWithPhp(const QString &pharPath)
{
    static const QString code = QStringLiteral(R"php(
$p = new Phar($argv[1]);
$prefix = 'phar://' . $p->getPath() . '/';
$files = [];
foreach (new RecursiveIteratorIterator($p) as $f) {
    $name = substr($f->getPathname(), strlen($prefix));
    $files[$name] = base64_encode(file_get_contents($prefix . $name));
}
$meta = $p->getMetadata();
echo json_encode(['files' => $files, 'signature' => $p->getSignature(), 'metadata' => $meta,
                  'metadataKeys' => is_array($meta) ? array_keys($meta) : null]);
)php");
    return QJsonDocument::fromJson(runPhp(code, {pharPath})).object();
}

} // namespace vorlune::test

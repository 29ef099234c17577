#include "support/RealServerFormats.h"

#include "support/TestEnvironment.h"
#include "support/TestTar.h"

namespace vorlune::test {
namespace {

const QString kTag = QStringLiteral("pm5-php-8.2-latest");

// Fails as the real build does when its php.ini or extensions are not found.
const QByteArray kFakePhp = R"sh(#!/bin/sh
# Stands in for the server project's PHP build: runs this system's PHP only
# when started as the server's start script starts it.
here=$(cd "$(dirname "$0")" && pwd)
if [ "${PHPRC-unset}" != "" ]; then
  echo "PHP Warning:  PHP Startup: Unable to load dynamic library 'opcache.so'" >&2
  exit 1
fi
ext=$(sed -n "s/^extension_dir=['\"]\(.*\)['\"]$/\1/p" "$here/php.ini")
next=""
for arg in "$@"; do
  if [ "$next" = 1 ]; then case "$arg" in extension_dir=*) ext=${arg#extension_dir=};; esac; fi
  next=""; [ "$arg" = "-d" ] && next=1
done
if [ ! -f "$ext/opcache.so" ]; then
  echo "Failed loading Zend extension 'opcache.so' (tried: $ext/opcache.so (No such file or directory))" >&2
  exit 1
fi
exec php "$@"
)sh";

const QByteArray kBrokenPhp = "#!/bin/sh\necho \"cannot execute binary file: Exec format error\" >&2\nexit 126\n";

} // namespace

QByteArray serverFeed(const QString &downloadUrl, const QString &phpRepository)
{
    return QStringLiteral(R"({"php_version":"%1","base_version":"%2","build":2281,"is_dev":false,"channel":"stable",)"
                          R"("git_commit":"0c8a1f3e9d2b4a5f6e7d8c9b0a1f2e3d4c5b6a79","mcpe_version":"1.21.50",)"
                          R"("date":1781136000,"details_url":"https://github.com/pmmp/PocketMine-MP/releases/tag/%2",)"
                          R"("download_url":"%3","source_url":"https://github.com/pmmp/PocketMine-MP/tree/%2",)"
                          R"("build_log_url":"https://github.com/pmmp/PocketMine-MP/actions/runs/1",)"
                          R"("php_download_url":"%4/releases/tag/%5"})")
        .arg(kFeedPhpVersion, kFeedBaseVersion, downloadUrl, phpRepository, kTag)
        .toUtf8();
}

QString phpBuildPath()
{
    return QStringLiteral("releases/download/%1/PHP-%2-Linux-x86_64-PM5.tar.gz").arg(kTag, kFeedPhpVersion);
}

QByteArray phpBuildTarball(bool runs)
{
    const QByteArray extensions = "bin/php7/lib/php/extensions/no-debug-zts-20220829/";
    return makeTarGz(
        {{"bin/", {}, S_IFDIR | 0755},
         {"bin/php7/bin/php", runs ? kFakePhp : kBrokenPhp, S_IFREG | 0755},
         {"bin/php7/bin/php.ini", "memory_limit=1024M\nphar.readonly=0\nzend_extension=opcache.so\n", S_IFREG | 0644},
         {"bin/php7/bin/phar", {}, S_IFLNK | 0777, "phar.phar"},
         {"bin/php7/bin/phar.phar", "<?php // phar tool\n", S_IFREG | 0755},
         {"bin/php7/lib/libyaml-0.so.2.0.9", "ELF", S_IFREG | 0755},
         {"bin/php7/lib/libyaml-0.so.2", {}, S_IFLNK | 0777, "libyaml-0.so.2.0.9"},
         {extensions, {}, S_IFDIR | 0755},
         {extensions + "opcache.so", "ELF opcache", S_IFREG | 0755}});
}

QByteArray asCore(const QByteArray &script)
{
    QByteArray core = script;
    if (!core.contains("__halt_compiler();"))
        core += "\n__halt_compiler();\n";
    return core + QByteArray(1000001, '#');
}

TodaysServerSite::TodaysServerSite(const QByteArray &core, const QString &scratchFolder)
{
    if (!started())
        return;
    const QString bothCas = scratchFolder + QStringLiteral("/todays-server-cas.pem");
    writeFile(bothCas, readFile(feedHost.caFile()) + '\n' + readFile(fileHost.caFile()));
    m_trust = std::make_unique<TrustedCa>(bothCas);
    fileHost.addFile(QStringLiteral("PocketMine-MP.phar"), core);
    fileHost.addFile(QStringLiteral("PHP-Binaries/") + phpBuildPath(), phpBuildTarball());
    const QString downloadUrl =
        feedHost.url(QStringLiteral("redirect?to=") + fileHost.url(QStringLiteral("PocketMine-MP.phar")));
    feedHost.addFile(QStringLiteral("api"), serverFeed(downloadUrl, fileHost.url(QStringLiteral("PHP-Binaries"))));
}

TodaysServerSite::~TodaysServerSite() = default;

} // namespace vorlune::test

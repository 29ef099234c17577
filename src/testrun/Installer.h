#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace vorlune::testrun {

// Below the program folder P: the test server folder and what lies in it.
inline const QString kTestServerFolder = QStringLiteral("plugin_run/");
inline const QString kCoreFileName = QStringLiteral("PocketMine-Soft.phar");
inline const QString kServerSettingsFileName = QStringLiteral("pocketmine.yml");
inline const QString kPackDownloadName = QStringLiteral("php.zip");
// Below the test server folder: the labels of what was installed.
inline const QString kPhpLabelFile = QStringLiteral("bin/.installed");
inline const QString kCoreLabelFile = QStringLiteral(".installed-core");
// Where today's server's PHP build is downloaded to before it is installed.
inline const QString kPhpBuildDownloadName = QStringLiteral("php.tar.gz");
// Where a core is downloaded to before it is checked and installed.
inline const QString kCoreDownloadName = QStringLiteral("PocketMine-Soft.phar.part");
// Downloads larger than these are refused as they arrive.
inline constexpr qint64 kPackDownloadLimit = qint64(256) << 20;
inline constexpr qint64 kCoreDownloadLimit = qint64(128) << 20;
// A "*.phar" counts as a server core only when it is larger than this.
inline constexpr qint64 kSmallestCoreSize = 1000000;

// Installs a PHP binary pack (a zip archive or a gzip-compressed tarball,
// in the file `packFile`) into P + "plugin_run/" in place of its bin/
// folder. The whole pack is checked first (testrun/PhpPack.h); the new bin/
// is unpacked beside the old one and swapped in only when it is complete, so
// any failure leaves the old bin/ as it was. What the pack holds outside
// bin/ is written only after that, so a pack that fails never replaced a
// file of the user's. Links found in the test server folder are never
// followed: a link as bin/ is replaced, a link on the way of another entry
// stops the install. Throws vorlune::Error with the reason. `layout` says
// what the pack must hold and may finish and try the new bin/.
struct PackLayout {
    // Files the pack must hold, below its bin/.
    QList<QByteArray> required{"php/php", "php/php.ini"};
    // Shown in the run settings window for the installed PHP; kept in bin/.
    QString label;
    // Called with the new bin/ while it is aside and the path it will have
    // once swapped in: it may add files. What it throws keeps the old bin/.
    std::function<void(const QString &aside, const QString &final)> finish;
    // Called with the new bin/ in its place, as it will run: what it throws
    // puts the old bin/ back.
    std::function<void(const QString &bin)> trial;
    // Set from another thread to stop the install; looked at for each entry.
    const std::atomic_bool *cancel = nullptr;
};
void installPhpPack(const QString &programFolder, const QString &packFile, const PackLayout &layout = {});

// The label of the installed PHP: empty when none is installed, "?" when it
// was installed without one.
QString installedPhpLabel(const QString &programFolder);
// The label of the installed core: empty when none is found; the core's
// file name when the install that placed it left no label.
QString installedCoreLabel(const QString &programFolder);
// Keeps `label` for the core now installed (checked against its size and
// time, so a core replaced by other means is not labelled wrongly).
void labelInstalledCore(const QString &programFolder, const QString &label);

// Installs a downloaded server core (the file `downloadedFile`) as
// P + "plugin_run/PocketMine-Soft.phar", replacing the old one (or a link
// there) whole, and drops the server's pocketmine.yml so that the new core
// writes its own. A body that is no core (not a phar of more than
// 1,000,000 bytes: an error page, a short answer), or a pocketmine.yml that
// cannot be dropped, is refused before anything is replaced. Throws
// vorlune::Error with the reason.
void installCore(const QString &programFolder, const QString &downloadedFile);

// Installs a server core the user chose. False when the file is not a core
// (not named *.phar, or 1,000,000 bytes or smaller). An installed core is
// kept: nothing is copied then. Throws vorlune::Error when the file cannot
// be read or the copy fails. A link there to a file counts as an installed
// core; one that leads nowhere is replaced.
bool installCoreFromFile(const QString &programFolder, const QString &file);

} // namespace vorlune::testrun

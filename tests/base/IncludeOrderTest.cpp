// The folders of src/ form layers: a folder includes only the folders before
// it in this order, and window-free code includes no window header.
#include "support/TestRegistry.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

const QStringList kLayers{QStringLiteral("base"),       QStringLiteral("i18n"),  QStringLiteral("project"),
                          QStringLiteral("script"),     QStringLiteral("build"), QStringLiteral("testrun"),
                          QStringLiteral("textformat"), QStringLiteral("app")};

// What is wrong with the includes of one file, given by its path below src/.
QStringList violations(const QString &path, const QByteArray &source)
{
    const QString folder = path.section(QLatin1Char('/'), 0, 0);
    const qsizetype layer = kLayers.indexOf(folder);
    const bool windowFree = !path.contains(QLatin1String("/gui/"));
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*"([^"]+)")re"),
                                            QRegularExpression::MultilineOption);
    QStringList found;
    for (auto match = include.globalMatch(QString::fromUtf8(source)); match.hasNext();) {
        const QString header = match.next().captured(1);
        const qsizetype included = kLayers.indexOf(header.section(QLatin1Char('/'), 0, 0));
        if (layer < 0 || included < 0)
            continue;
        if (included > layer)
            found << QStringLiteral("src/%1 includes \"%2\": %3 stands after %4")
                         .arg(path, header, kLayers.at(included), folder);
        if (windowFree && header.contains(QLatin1String("/gui/")))
            found << QStringLiteral("src/%1 includes \"%2\": window-free code includes a window header")
                         .arg(path, header);
    }
    return found;
}

} // namespace

class IncludeOrderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theRuleNamesTheFileAndTheInclude()
    {
        QCOMPARE(
            violations(QStringLiteral("project/X.cpp"), "#include \"app/AppState.h\"\n"),
            QStringList{QStringLiteral("src/project/X.cpp includes \"app/AppState.h\": app stands after project")});
        QCOMPARE(violations(QStringLiteral("build/X.h"), "  # include \"script/gui/ScriptEditor.h\"\n"),
                 QStringList{QStringLiteral("src/build/X.h includes \"script/gui/ScriptEditor.h\": window-free code "
                                            "includes a window header")});
        QCOMPARE(violations(QStringLiteral("base/gui/X.cpp"), "#include \"i18n/TextTable.h\"\n").size(), 1);
        // Downwards, within a folder, and outside our folders: all fine.
        QVERIFY(violations(QStringLiteral("app/gui/X.cpp"),
                           "#include \"base/gui/IconList.h\"\n#include \"app/gui/TForm1.h\"\n#include <QWidget>\n"
                           "#include \"zip.h\"\n")
                    .isEmpty());
        QVERIFY(
            violations(QStringLiteral("textformat/gui/X.cpp"), "#include \"textformat/FormatCodes.h\"\n").isEmpty());
    }

    void everyFileOfTheTreeKeepsTheOrder()
    {
        const QString root = QStringLiteral(VORLUNE_SOURCE_DIR "/src/");
        QStringList found;
        int files = 0;
        for (QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            found << violations(path.mid(root.size()), file.readAll());
            ++files;
        }
        QVERIFY(files > 50);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

VORLUNE_TEST(IncludeOrderTest)
#include "IncludeOrderTest.moc"

// Performs one of the program's whole-file writes over and over until it is
// killed, for the tests that kill a writer part way:
//   write_until_killed project|language|properties FOLDER [once]
// project: writes a large project as its save does, as FOLDER/big.vlk; language: the start-up's
// rewrite of FOLDER/Language.ini; properties: the test run's preparation of
// FOLDER/server.properties. Prints "writing" when the first write starts;
// with "once" it writes once and prints how many microseconds that took.
#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "i18n/TextTable.h"
#include "project/ProjectDocument.h"
#include "testrun/ServerProperties.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

using namespace vorlune;

namespace {

// A project of some 2 MB (30,000 actions) as its save writes it.
QByteArray largeProject()
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plugin><settings name=\"Big\" main=\"Big\\Main\"/>"
                      "<phpscripts><" +
                      project::kMainScriptElementName.toUtf8() + '>';
    for (int event = 1; event <= 3; ++event) {
        text += "<ev_" + QByteArray::number(event) + '>';
        for (int i = 0; i < 10000; ++i)
            text += "<actn id=\"1\" "
                    "args=\"&#8291;:[\xD0\xA1\xD0\xBE\xD0\xBE\xD0\xB1\xD1\x89\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5 " +
                    QByteArray::number(i) + "]&#8291;\"/>";
        text += "</ev_" + QByteArray::number(event) + '>';
    }
    text += "</" + project::kMainScriptElementName.toUtf8() + "></phpscripts></plugin>";
    return project::ProjectDocument::fromBytes(text).toBytes();
}

std::function<void()> writerFor(const QString &mode, const QString &folder)
{
    if (mode == QLatin1String("project")) {
        // The document is turned into bytes once: the write is what is killed.
        return [bytes = largeProject(), path = folder + QStringLiteral("/big.vlk")] {
            fileio::writeAtomically(path, bytes);
        };
    }
    if (mode == QLatin1String("language")) {
        return [path = folder + QLatin1Char('/') + i18n::kLanguageFileName] {
            base::IniImage image = base::IniImage::load(path);
            i18n::texts().GetStringsLanguage(image, path);
        };
    }
    if (mode == QLatin1String("properties"))
        return [folder = folder + QLatin1Char('/')] { testrun::prepareServerProperties(folder); };
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    const std::function<void()> write =
        argc >= 3 ? writerFor(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])) : nullptr;
    if (!write) {
        std::fprintf(stderr, "usage: write_until_killed project|language|properties FOLDER [once]\n");
        return 2;
    }
    const bool once = argc >= 4 && qstrcmp(argv[3], "once") == 0;
    try {
        QElapsedTimer clock;
        std::printf("writing\n");
        std::fflush(stdout);
        clock.start();
        do
            write();
        while (!once);
        std::printf("%lld\n", static_cast<long long>(clock.nsecsElapsed() / 1000));
    } catch (const Error &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.text()));
        return 1;
    }
    return 0;
}

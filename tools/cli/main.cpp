// vorlune-build: builds a project into a plugin archive without any window.
//   vorlune-build [--zip] PROJECT OUTPUT

#include "base/Error.h"
#include "base/FileIo.h"
#include "base/IniImage.h"
#include "base/Messages.h"
#include "base/ProgramFolder.h"
#include "build/Compile.h"
#include "i18n/TextTable.h"
#include "project/ProjectSession.h"


#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

int usage()
{
    print(stderr, QStringLiteral("usage: vorlune-build [--zip] PROJECT OUTPUT"));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    using namespace vorlune;
    fileio::reportOversizeWritesAsErrors();
    // No application object: a build command starts faster without one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int typec = build::kPharArchive;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--zip")) {
        typec = 2;
        arguments.removeFirst();
    }
    if (arguments.size() != 2)
        return usage();

    // Texts in the language the application uses, without rewriting its file.
    try {
        i18n::texts().loadFrom(base::IniImage::load(base::programFolder() + i18n::kLanguageFileName));
    } catch (const Error &error) {
        print(stderr, error.text());
    }
    Messages::setSink([](const QString &text) {
        print(text == i18n::tx("MSG.msg10") ? stdout : stderr, text);
    });

    try {
        project::ProjectSession session;
        if (!session.OpenPlugin(arguments.at(0)))
            return 1;
        return build::Compile(session.document, typec, arguments.at(1), true, true).isEmpty() ? 1 : 0;
    } catch (const Error &error) {
        print(stderr, error.text());
        return 1;
    }
}

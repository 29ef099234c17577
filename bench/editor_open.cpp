// Times the script editor opening a large project, the way the user opens it:
//   editor_open PROJECT.vlk      (offscreen unless QT_QPA_PLATFORM is set)
// Reports the time from opening the script editor to the first event's actions being in the
// list, peak memory, and the processor time the open editor then uses in 10 s of idling.
#include "app/gui/TForm1.h"
#include "project/gui/ProjectTree.h"
#include "script/gui/ScriptEditor.h"
#include "script/gui/ScriptEditorControls.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: editor_open PROJECT.vlk\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("VORLUNE_HOME", home.path().toLocal8Bit());
    QApplication application(argc, argv);

    QElapsedTimer clock;
    clock.start();
    vorlune::gui::TForm1 window({QString::fromLocal8Bit(argv[1])});
    window.show();
    const qint64 loaded = clock.elapsed();
    clock.restart();
    window.scriptEditor().OpenPhpScript();
    QApplication::processEvents();
    const qint64 opened = clock.elapsed();
    const int actions = window.scriptEditor().controls().sListView1->count();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto cpuMs = [](const rusage &u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
    };
    const double before = cpuMs(usage);
    QTimer::singleShot(10000, &application, &QApplication::quit);
    QApplication::exec();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::printf("idle open script editor: %.1f ms of CPU in 10 s (%.2f%% of a core)\n", cpuMs(after) - before,
                (cpuMs(after) - before) / 100.0);
    std::printf("project loaded in %lld ms; script editor open with %d actions in %lld ms; peak %.0f MB\n",
                static_cast<long long>(loaded), actions, static_cast<long long>(opened),
                double(usage.ru_maxrss) / 1024.0);
    return opened < 1000 ? 0 : 1;
}

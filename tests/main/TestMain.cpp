#include "support/TestRegistry.h"

#ifdef VORLUNE_TEST_GUI
#include "app/gui/SaveQuestion.h"
#include "app/gui/VorluneApplication.h"
#include "base/gui/YesNoQuestion.h"
// Window tests run under the application's own error handler.
using TestApplication = vorlune::gui::VorluneApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QTest>

#include <cstdio>

namespace vorlune::test {

std::vector<TestFactory> &registeredTests()
{
    static std::vector<TestFactory> tests;
    return tests;
}

} // namespace vorlune::test

// Runs every registered test class. Options given on the command line
// (for example a test function name) are passed to each class.
int main(int argc, char *argv[])
{
    TestApplication application(argc, argv);
#ifdef VORLUNE_TEST_GUI
    // A changed project set aside without a queued answer is not saved.
    vorlune::gui::SaveQuestion::answerUnqueuedWith(vorlune::gui::SaveQuestion::Answer::Discard);
    // A running download is not cancelled without a queued answer.
    vorlune::gui::YesNoQuestion::answerUnqueuedWith(false);
#endif
    int failed = 0;
    int passed = 0;
    for (const auto &factory : vorlune::test::registeredTests()) {
        std::unique_ptr<QObject> test = factory();
        if (QTest::qExec(test.get(), argc, argv) == 0)
            ++passed;
        else
            ++failed;
    }
    std::printf("test classes: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

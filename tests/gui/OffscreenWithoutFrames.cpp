#include <QByteArray>
#include <QtGlobal>

// The window tests stand for a screen without a window manager, where a
// window's outer size is its inner size. Qt's offscreen platform draws a
// 2-pixel frame unless told otherwise, so the platform is told before the
// application object of the test program reads it. Real frames are tested
// under Xvfb with a window manager (WindowFrameTest).
namespace {

[[maybe_unused]] const bool framesOff = [] {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen")
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VORLUNE_SOURCE_DIR "/tests/gui/offscreen-without-frames.json");
    return true;
}();

} // namespace

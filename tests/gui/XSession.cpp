#include "XSession.h"

#include <QFile>
#include <QMargins>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

namespace vorlune::test {
namespace {

const QString kApplication = QStringLiteral(VORLUNE_BINARY_DIR "/vorlune");

void stop(std::unique_ptr<QProcess> &process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

// Taken when its lock file or either of its sockets exists. The abstract
// socket, which clients try first, can belong to a server that sees another
// /tmp (a container sharing the network).
bool displayTaken(int number)
{
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    QFile sockets(QStringLiteral("/proc/net/unix"));
    const QByteArray abstractSocket = (QLatin1Char('@') + socket + QLatin1Char('\n')).toLatin1();
    return (sockets.open(QIODevice::ReadOnly) && sockets.readAll().contains(abstractSocket)) || QFile::exists(socket) ||
           QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number));
}

int field(const QString &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
    return pattern.match(text).captured(1).toInt();
}

} // namespace

XSession::XSession(QSize screen)
{
    for (const char *tool : {"Xvfb", "xdotool", "xwininfo", "xprop"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            m_unavailable = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return;
        }
    }
    // A random number far from the usual ones, so sessions running side by
    // side rarely meet; one that another server takes first makes Xvfb fail,
    // and the next is tried. Xvfb writes the number once it accepts clients.
    QString error;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int number = 300 + int(QRandomGenerator::global()->bounded(3000));
        if (displayTaken(number))
            continue;
        const QString display = QStringLiteral(":%1").arg(number);
        // -noreset: a server whose last client leaves starts afresh and turns
        // away whoever connects meanwhile, as a starting program does while
        // the tests' short-lived tools come and go.
        m_server =
            start(QStringLiteral("Xvfb"), {display, QStringLiteral("-displayfd"), QStringLiteral("1"),
                                           QStringLiteral("-noreset"), QStringLiteral("-screen"), QStringLiteral("0"),
                                           QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                                           QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        while (!m_server->canReadLine() && m_server->waitForReadyRead(15000)) {
        }
        if (QString::fromLatin1(m_server->readLine()).trimmed() == display.mid(1)) {
            m_display = display;
            return;
        }
        error = QString::fromLocal8Bit(m_server->readAllStandardError());
        stop(m_server);
    }
    m_unavailable = QStringLiteral("Xvfb did not start: ") + error;
}

XSession::~XSession()
{
    stop(m_application);
    stop(m_windowManager);
    stop(m_server);
}

std::unique_ptr<QProcess> XSession::start(const QString &program, const QStringList &arguments, Output output) const
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!m_display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process->setProcessEnvironment(environment);
    if (output == Output::Merged)
        process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    process->waitForStarted();
    return process;
}

QString XSession::run(const QString &program, const QStringList &arguments) const
{
    std::unique_ptr<QProcess> process = start(program, arguments);
    if (!process->waitForFinished(10000))
        stop(process);
    return QString::fromUtf8(process->readAllStandardOutput());
}

QString XSession::startWindowManager()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        return QStringLiteral("openbox is not installed");
    m_windowManager = start(QStringLiteral("openbox"), {}, Output::Merged);
    return {};
}

bool XSession::windowManagerReady() const
{
    return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
        .contains(QStringLiteral("window id"));
}

void XSession::startApplication(const QStringList &arguments)
{
    m_application = start(kApplication, arguments, Output::Merged);
}

bool XSession::applicationRunning() const { return m_application && m_application->state() == QProcess::Running; }

QString XSession::describe() const
{
    const auto state = [](const std::unique_ptr<QProcess> &process) {
        if (!process)
            return QStringLiteral("not started");
        if (process->state() == QProcess::Running)
            return QStringLiteral("running");
        return QStringLiteral("ended (%1)").arg(process->exitCode());
    };
    QString text = QStringLiteral("display %1; Xvfb %2, window manager %3, application %4")
                       .arg(m_display, state(m_server), state(m_windowManager), state(m_application));
    if (m_windowManager)
        text += QStringLiteral("; window manager output: ") + QString::fromLocal8Bit(m_windowManager->readAll());
    if (m_application)
        text += QStringLiteral("; application output: ") + QString::fromLocal8Bit(m_application->readAll());
    return text;
}

QStringList XSession::windows(const QString &title) const
{
    if (!applicationRunning())
        return {};
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                          QString::number(m_application->processId())};
    // --all: without it xdotool takes a window that meets any one condition.
    if (!title.isEmpty())
        arguments << QStringLiteral("--all") << QStringLiteral("--name") << title;
    return run(QStringLiteral("xdotool"), arguments).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XSession::windowTitle(const QString &window) const
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}).trimmed();
}

QMargins XSession::frameExtents(const QString &window) const
{
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"; absent without a window manager.
    const QString text =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(text);
    if (!match.hasMatch())
        return {};
    return QMargins(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(2).toInt(),
                    match.captured(4).toInt());
}

QRect XSession::outerGeometry(const QString &window) const
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    const QRect inner(field(info, QStringLiteral("Absolute upper-left X")),
                      field(info, QStringLiteral("Absolute upper-left Y")), field(info, QStringLiteral("Width")),
                      field(info, QStringLiteral("Height")));
    return inner.marginsAdded(frameExtents(window));
}

void XSession::click(const QString &window, const QPoint &at) const
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(at.x()),
         QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void XSession::pressKeys(const QStringList &keys) const
{
    run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys);
}

} // namespace vorlune::test

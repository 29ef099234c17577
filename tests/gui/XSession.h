#pragma once

#include <QMargins>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

namespace vorlune::test {

// A display of its own for the real application: an Xvfb the test starts
// and stops, with openbox as the window manager when asked for. Every
// program runs in the test's environment (program folder, cache) with the
// xcb platform. The predicates are meant for QTRY_*.
class XSession {
public:
    explicit XSession(QSize screen = QSize(1280, 900));
    ~XSession();

    // Why the session cannot run here (a missing program); empty when it runs.
    QString unavailable() const { return m_unavailable; }
    // Starts openbox; returns why it cannot, empty when started.
    QString startWindowManager();
    bool windowManagerReady() const;

    void startApplication(const QStringList &arguments);
    bool applicationRunning() const;
    // What runs, for failure messages.
    QString describe() const;

    // Visible windows of the application whose title matches the regular
    // expression (all of them for an empty one).
    QStringList windows(const QString &title = {}) const;
    QString windowTitle(const QString &window) const;
    // The window with its frame, and the frame alone (left, top, right, bottom).
    QRect outerGeometry(const QString &window) const;
    QMargins frameExtents(const QString &window) const;

    void click(const QString &window, const QPoint &at) const;
    void pressKeys(const QStringList &keys) const;

private:
    QString run(const QString &program, const QStringList &arguments) const;
    enum class Output { Separate, Merged };
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments,
                                    Output output = Output::Separate) const;

    QString m_unavailable;
    QString m_display;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
    std::unique_ptr<QProcess> m_application;
};

} // namespace vorlune::test

#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vorlune::test {

// A port of 127.0.0.1 the system just handed out (0 when none). A server
// binds it a moment later; another program could take it in between, so a
// failed start is worth retrying.
quint16 freePort();
// Whether something accepts connections on that port of 127.0.0.1.
bool listensOn(quint16 port);
// Writes a test CA (ca.pem) and a server certificate it signed for `names`
// (server.pem, server.key) into the folder; the failure, or empty.
QString makeTestCertificate(const QString &folder, const QStringList &names);

// Python's http.server on a free port of 127.0.0.1 for the life of the
// object, serving a fresh folder that the test fills (answers use HTTP/1.1).
// Besides the files, tests/support/local_web_server.py answers special paths:
// /status, /redirect, /halfway, /halfway-chunked, /unsized, /chunked, /stall,
// /trickle, /set-cookie and /headers (the script describes them).
// The server also ends when the thread that made the object ends.
class LocalWebServer {
public:
    struct Options {
        bool https = false;
        // Names the server's certificate is made for (IP addresses and host names).
        QStringList certificateNames{QStringLiteral("127.0.0.1"), QStringLiteral("localhost")};
    };

    LocalWebServer();
    explicit LocalWebServer(const Options &options);
    ~LocalWebServer();
    LocalWebServer(const LocalWebServer &) = delete;
    LocalWebServer &operator=(const LocalWebServer &) = delete;

    // False when the server did not come up; failure() says why.
    bool started() const { return m_port != 0; }
    QString failure() const { return m_failure; }

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:PORT/" + path (https:// for the HTTPS variant).
    QString url(const QString &path = {}) const;
    // The served folder, ending in "/".
    QString root() const;
    // Writes a file below the served folder, making its folders.
    void addFile(const QString &relativePath, const QByteArray &bytes) const;
    // The CA that signed the HTTPS variant's certificate (PEM); empty for plain HTTP.
    QString caFile() const { return m_caFile; }

    // The answer exactly as the plain HTTP variant sends it to a bare GET.
    QByteArray rawAnswer(const QString &path) const;
    // What the server wrote to its log so far, for failure messages.
    QString log() const;

    // The bytes of the generated bodies: 0, 1, ..., 255, 0, 1, ...
    static QByteArray pattern(qint64 size);

private:
    bool makeCertificate(const QStringList &names);
    bool startOn(quint16 port);

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_https = false;
    QString m_caFile;
    QString m_failure;
};

// Trusts a CA through VORLUNE_CA_BUNDLE while it lives (clients read the
// variable when they are made); an empty path unsets it.
class TrustedCa {
public:
    explicit TrustedCa(const QString &caFile);
    ~TrustedCa();
    TrustedCa(const TrustedCa &) = delete;
    TrustedCa &operator=(const TrustedCa &) = delete;

private:
    bool m_wasSet;
    QByteArray m_previous;
};

// The first line of an HTTP answer, without its line end.
QString statusLineOf(const QByteArray &answer);

} // namespace vorlune::test

// Fails the calling test when the server did not start.
#define VORLUNE_REQUIRE_STARTED(server) QVERIFY2((server).started(), qPrintable((server).failure()))

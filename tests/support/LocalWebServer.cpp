#include "support/LocalWebServer.h"

#include "support/Programs.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vorlune::test {

namespace {

const QString kScript = QStringLiteral(VORLUNE_SOURCE_DIR "/tests/support/local_web_server.py");
constexpr int kStartTries = 5;
constexpr int kReadyPolls = 300; // of 50 ms each: a loaded machine can take seconds to start Python

class Socket {
public:
    Socket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool connectTo(const Socket &socket, quint16 port)
{
    const sockaddr_in address = loopback(port);
    return socket.fd() >= 0 &&
           ::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
}

} // namespace

quint16 freePort()
{
    Socket socket;
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (socket.fd() < 0 || ::bind(socket.fd(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(socket.fd(), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool listensOn(quint16 port) { return connectTo(Socket(), port); }

namespace {

QString subjectAltNames(const QStringList &names)
{
    static const QRegularExpression address(QStringLiteral(R"(^[0-9.]+$|:)"));
    QStringList entries;
    for (const QString &name : names)
        entries << (address.match(name).hasMatch() ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + name;
    return entries.join(QLatin1Char(','));
}

} // namespace

LocalWebServer::LocalWebServer() : LocalWebServer(Options{}) {}

LocalWebServer::LocalWebServer(const Options &options) : m_https(options.https)
{
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return;
    }
    QDir(m_dir.path()).mkpath(QStringLiteral("root"));
    if (m_https && !makeCertificate(options.certificateNames))
        return;
    for (int attempt = 0; attempt < kStartTries; ++attempt) {
        const quint16 port = freePort();
        if (port != 0 && startOn(port)) {
            m_port = port;
            m_failure.clear();
            return;
        }
    }
}

LocalWebServer::~LocalWebServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString makeTestCertificate(const QString &folderPath, const QStringList &names)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return QStringLiteral("the openssl command is not installed");
    const QString folder = folderPath + QLatin1Char('/');
    writeFile(folder + QStringLiteral("ca.cnf"),
              "[req]\nprompt = no\ndistinguished_name = dn\nx509_extensions = ext\n"
              "[dn]\nCN = Vorlune test CA\n"
              "[ext]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
              "subjectKeyIdentifier = hash\n");
    writeFile(folder + QStringLiteral("server.cnf"),
              "[req]\nprompt = no\ndistinguished_name = dn\n"
              "[dn]\nCN = " +
                  names.value(0).toUtf8() +
                  "\n"
                  "[ext]\nbasicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\n"
                  "extendedKeyUsage = serverAuth\nsubjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n"
                  "subjectAltName = " +
                  subjectAltNames(names).toUtf8() + "\n");
    const QStringList newKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    const QList<QStringList> steps{
        QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-new")} + newKey +
            QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                        QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                        QStringLiteral("-config"), QStringLiteral("ca.cnf")},
        QStringList{QStringLiteral("req"), QStringLiteral("-new")} + newKey +
            QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                        QStringLiteral("server.csr"), QStringLiteral("-config"), QStringLiteral("server.cnf")},
        QStringList{QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                    QStringLiteral("-CA"), QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                    QStringLiteral("-set_serial"), QStringLiteral("2"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-extfile"), QStringLiteral("server.cnf"), QStringLiteral("-extensions"),
                    QStringLiteral("ext"), QStringLiteral("-out"), QStringLiteral("server.pem")},
    };
    RunOptions run;
    run.workingFolder = folder;
    for (const QStringList &step : steps) {
        const ProgramResult result = runProgram(openssl, step, run);
        if (result.exitCode != 0)
            return QStringLiteral("openssl %1: %2").arg(step.join(QLatin1Char(' ')), result.describe());
    }
    return {};
}

bool LocalWebServer::makeCertificate(const QStringList &names)
{
    m_failure = makeTestCertificate(m_dir.path(), names);
    if (!m_failure.isEmpty())
        return false;
    m_caFile = m_dir.filePath(QStringLiteral("ca.pem"));
    return true;
}

bool LocalWebServer::startOn(quint16 port)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        m_failure = QStringLiteral("python3 is not installed");
        return false;
    }
    QStringList arguments{QStringLiteral("-u"), kScript, QStringLiteral("--root"), root(), QStringLiteral("--port"),
                          QString::number(port)};
    if (m_https)
        arguments << QStringLiteral("--cert") << m_dir.filePath(QStringLiteral("server.pem")) << QStringLiteral("--key")
                  << m_dir.filePath(QStringLiteral("server.key"));
    // To a file, not a pipe: nobody reads a pipe while a test waits on a
    // transfer, and a full one would stall the server.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
    // A test program that crashes runs no destructor; the server goes with it anyway.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(python, arguments);
    if (!m_process.waitForStarted(10000)) {
        m_failure = QStringLiteral("python3 did not start: ") + m_process.errorString();
        return false;
    }
    for (int poll = 0; poll < kReadyPolls; ++poll) {
        if (connectTo(Socket(), port))
            return true;
        // Doubles as the pause between polls.
        if (m_process.waitForFinished(50)) {
            m_failure = QStringLiteral("the server ended at start-up: ") + log();
            return false;
        }
    }
    m_failure = QStringLiteral("the server did not listen on port %1 within %2 s: %3")
                    .arg(port)
                    .arg(kReadyPolls * 50 / 1000)
                    .arg(log());
    m_process.kill();
    m_process.waitForFinished(5000);
    return false;
}

QString LocalWebServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2/%3")
        .arg(m_https ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_port)
        .arg(path);
}

QString LocalWebServer::root() const { return m_dir.path() + QStringLiteral("/root/"); }

void LocalWebServer::addFile(const QString &relativePath, const QByteArray &bytes) const
{
    const QString path = root() + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, bytes);
}

QByteArray LocalWebServer::rawAnswer(const QString &path) const
{
    Socket socket;
    if (m_https || !connectTo(socket, m_port))
        return {};
    const timeval timeout{10, 0};
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const QByteArray request = "GET /" + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) +
                               "\r\nConnection: close\r\n\r\n";
    if (::send(socket.fd(), request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return {};
    QByteArray answer;
    char buffer[16384];
    for (ssize_t got; (got = ::recv(socket.fd(), buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, got);
    return answer;
}

QString LocalWebServer::log() const
{
    return QString::fromUtf8(readFile(m_dir.filePath(QStringLiteral("server.log"))));
}

QByteArray LocalWebServer::pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(i & 0xff);
    return bytes;
}

TrustedCa::TrustedCa(const QString &caFile)
    : m_wasSet(qEnvironmentVariableIsSet("VORLUNE_CA_BUNDLE")), m_previous(qgetenv("VORLUNE_CA_BUNDLE"))
{
    if (caFile.isEmpty())
        qunsetenv("VORLUNE_CA_BUNDLE");
    else
        qputenv("VORLUNE_CA_BUNDLE", caFile.toLocal8Bit());
}

TrustedCa::~TrustedCa()
{
    if (m_wasSet)
        qputenv("VORLUNE_CA_BUNDLE", m_previous);
    else
        qunsetenv("VORLUNE_CA_BUNDLE");
}

QString statusLineOf(const QByteArray &answer) { return QString::fromLatin1(answer.left(answer.indexOf("\r\n"))); }

} // namespace vorlune::test

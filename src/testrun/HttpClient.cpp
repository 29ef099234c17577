#include "testrun/HttpClient.h"

#include "base/Descriptor.h"
#include "base/Error.h"
#include "base/FileIo.h"
#include "base/Messages.h"

#include <QFile>
#include <QList>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlune::testrun {

// What one transfer learns while curl runs. Errors are only recorded there
// and thrown once curl has returned.
struct Transfer {
    enum class Stop { None, Status, TooLarge, Thrown, Cancelled, WriteFailed };

    CURL *handle = nullptr;
    const HttpProgress *progress = nullptr;
    qint64 limit = 0;
    bool follow = false;

    QByteArray statusLine; // of the latest answer; empty for file://
    int status = 0;
    qint64 contentLength = -1;
    bool hasLocation = false;

    qint64 knownSize = -1; // a local file's size, which curl does not report
    int fd = -1;           // the body goes here when set, else into `body`
    QByteArray body;
    qint64 received = 0;
    bool begun = false;
    Stop stop = Stop::None;
    int writeError = 0;
    std::exception_ptr thrown;

    bool refusedStatus() const { return status != 0 && status / 100 != 2; }

    qint64 expectedSize() const
    {
        if (knownSize >= 0)
            return knownSize;
        curl_off_t size = -1;
        if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK)
            return -1;
        return size;
    }

    void begin()
    {
        begun = true;
        if (progress->begin)
            progress->begin(expectedSize());
    }
};

namespace {

constexpr const char *kAccept = "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
constexpr const char *kFallbackCaBundle = "/etc/ssl/certs/ca-certificates.crt";
constexpr qint64 kCaFileLimit = qint64(16) << 20;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw Error(QStringLiteral("libcurl could not be initialised"));
    });
}

QString limitText(qint64 limit)
{
    const qint64 mb = qint64(1) << 20;
    if (limit >= mb && limit % mb == 0)
        return QStringLiteral("%1 MB").arg(limit / mb);
    return QStringLiteral("%1 bytes").arg(limit);
}

// The scheme as curl itself reads the URL (it guesses http for "host/path"),
// in lower case; empty when curl cannot read the URL.
QByteArray schemeOf(const QByteArray &url)
{
    QByteArray scheme;
    CURLU *parsed = curl_url();
    if (parsed && curl_url_set(parsed, CURLUPART_URL, url.constData(), CURLU_NON_SUPPORT_SCHEME | CURLU_GUESS_SCHEME) ==
                      CURLUE_OK) {
        char *part = nullptr;
        if (curl_url_get(parsed, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
            scheme = QByteArray(part).toLower();
            curl_free(part);
        }
    }
    curl_url_cleanup(parsed);
    return scheme;
}

// A web address holds no spaces, control characters, double quotes, angle
// brackets or backslashes: curl would refuse some and send others as they are.
bool malformed(const QByteArray &url, const QByteArray &scheme)
{
    if (scheme.isEmpty())
        return true;
    return std::any_of(url.begin(), url.end(), [](char c) {
        return uchar(c) <= ' ' || c == '\x7f' || c == '"' || c == '<' || c == '>' || c == '\\';
    });
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto &transfer = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();

    if (line.startsWith("HTTP/")) {
        // A new answer: an interim 1xx, or the next one after a redirect.
        transfer.statusLine = line;
        transfer.status = line.split(' ').value(1).toInt();
        transfer.contentLength = -1;
        transfer.hasLocation = false;
        return bytes;
    }
    if (!line.isEmpty()) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name == "content-length") {
            bool ok = false;
            const qint64 length = line.mid(colon + 1).trimmed().toLongLong(&ok);
            if (ok)
                transfer.contentLength = length;
        } else if (name == "location") {
            transfer.hasLocation = true;
        }
        return bytes;
    }

    // End of a header block.
    if (transfer.status == 0 || transfer.status / 100 == 1)
        return bytes;
    if (transfer.status / 100 == 2) {
        if (transfer.contentLength > transfer.limit) {
            transfer.stop = Transfer::Stop::TooLarge;
            return 0;
        }
        return bytes;
    }
    if (transfer.follow && transfer.status / 100 == 3 && transfer.hasLocation)
        return bytes;
    // No point reading an error page nobody shows.
    transfer.stop = Transfer::Stop::Status;
    return 0;
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto &transfer = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    try {
        if (!transfer.begun) {
            // file:// has no headers: its size is known only here.
            if (transfer.expectedSize() > transfer.limit) {
                transfer.stop = Transfer::Stop::TooLarge;
                return 0;
            }
            transfer.begin();
        }
        if (qint64(bytes) > transfer.limit - transfer.received) {
            transfer.stop = Transfer::Stop::TooLarge;
            return 0;
        }
        if (transfer.fd >= 0) {
            if (const int error = fileio::writeFully(transfer.fd, data, qint64(bytes)); error != 0) {
                transfer.writeError = error;
                transfer.stop = Transfer::Stop::WriteFailed;
                return 0;
            }
        } else {
            transfer.body.append(data, qsizetype(bytes));
        }
        transfer.received += qint64(bytes);
        if (transfer.progress->work)
            transfer.progress->work(transfer.received);
    } catch (...) {
        // Nothing may unwind through curl's C frames.
        transfer.thrown = std::current_exception();
        transfer.stop = Transfer::Stop::Thrown;
        return 0;
    }
    return bytes;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto &transfer = *static_cast<Transfer *>(user);
    if (transfer.progress->cancel && transfer.progress->cancel->load()) {
        transfer.stop = Transfer::Stop::Cancelled;
        return 1;
    }
    return 0;
}

// Reads a file:// URL without curl, which opens a named pipe and waits in
// open() for a writer that may never come, where no cancel reaches it. Only
// a regular file is read, opened without blocking, a chunk at a time, with
// the cancel flag looked at between chunks.
void readLocalFile(const QString &url, Transfer &transfer)
{
    const QString path = QUrl(url).toLocalFile();
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (path.isEmpty() || ::stat(native.constData(), &status) != 0)
        throw fileio::fileError("open", path.isEmpty() ? url : path, path.isEmpty() ? EINVAL : errno);
    const auto notRegular = [&] { return fileio::fileError("open", path, QStringLiteral("it is not a regular file")); };
    if (!S_ISREG(status.st_mode))
        throw notRegular();
    const base::Descriptor file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        throw fileio::fileError("open", path, errno);
    if (::fstat(file.get(), &status) != 0)
        throw fileio::fileError("read", path, errno);
    if (!S_ISREG(status.st_mode))
        throw notRegular();
    transfer.knownSize = status.st_size;
    char buffer[64 * 1024];
    for (;;) {
        if (transfer.progress->cancel && transfer.progress->cancel->load()) {
            transfer.stop = Transfer::Stop::Cancelled;
            return;
        }
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw fileio::fileError("read", path, errno);
        if (got == 0)
            break;
        if (onBody(buffer, 1, size_t(got), &transfer) != size_t(got))
            return; // stopped: too large, thrown or a failed write
    }
    if (!transfer.begun)
        transfer.begin(); // an empty file
}

} // namespace

struct HttpClient::Private {
    HttpClientOptions options;
    CURL *handle = nullptr;
    curl_slist *headers = nullptr;
    QString caError; // an unreadable VORLUNE_CA_BUNDLE, reported by every get()
    char errorText[CURL_ERROR_SIZE] = {};
    std::mutex mutex;

    template <typename Value>
    void set(CURLoption option, Value value)
    {
        const CURLcode code = curl_easy_setopt(handle, option, value);
        if (code != CURLE_OK)
            throw Error(QString::fromUtf8(curl_easy_strerror(code)));
    }

    void setUpTrust();
};

void HttpClient::Private::setUpTrust()
{
    char *builtIn = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CAINFO, &builtIn);
    const QString systemBundle = QString::fromLocal8Bit(builtIn ? builtIn : kFallbackCaBundle);
    const QString extra = qEnvironmentVariable("VORLUNE_CA_BUNDLE");
    if (extra.isEmpty()) {
        set(CURLOPT_CAINFO, systemBundle.toLocal8Bit().constData());
        return;
    }
    // A CA blob replaces CURLOPT_CAINFO, so it carries the system's CAs too.
    QByteArray pem;
    try {
        pem = fileio::readAll(systemBundle, kCaFileLimit);
        pem += '\n';
    } catch (const Error &) {
        // A machine without a CA store still trusts the extra one.
    }
    try {
        pem += fileio::readAll(extra, kCaFileLimit);
    } catch (const Error &error) {
        caError = QStringLiteral("VORLUNE_CA_BUNDLE: %1").arg(error.text());
        return;
    }
    curl_blob blob{pem.data(), size_t(pem.size()), CURL_BLOB_COPY};
    set(CURLOPT_CAINFO_BLOB, &blob);
}

HttpClient::HttpClient(HttpClientOptions options) : d(std::make_unique<Private>())
{
    initCurlOnce();
    d->options = std::move(options);
    d->handle = curl_easy_init();
    if (!d->handle)
        throw Error(QStringLiteral("libcurl could not start a transfer"));
    d->headers = curl_slist_append(nullptr, kAccept);
    if (!d->headers) {
        curl_easy_cleanup(d->handle);
        throw Error(QStringLiteral("Out of memory"));
    }

    try {
        const HttpClientOptions &o = d->options;
        const bool https = !o.plainHttpOnly;
        const char *protocols = o.plainHttpOnly   ? "http"
                                : o.httpsOnly     ? "https"
                                : o.allowFileUrls ? "http,https,file"
                                                  : "http,https";
        d->set(CURLOPT_PROTOCOLS_STR, protocols);
        // Never file: a server must not redirect a download onto the local disk.
        d->set(CURLOPT_REDIR_PROTOCOLS_STR, o.httpsOnly ? "https" : https ? "http,https" : "http");
        d->set(CURLOPT_FOLLOWLOCATION, long(o.followRedirects));
        d->set(CURLOPT_MAXREDIRS, o.httpsOnly ? kServerFeedRedirects : 10L);
        d->set(CURLOPT_USERAGENT, o.userAgent.toUtf8().constData());
        d->set(CURLOPT_HTTPHEADER, d->headers);
        d->set(CURLOPT_COOKIEFILE, ""); // cookies in memory, for this handle only
        d->set(CURLOPT_NOSIGNAL, 1L);
        d->set(CURLOPT_CONNECTTIMEOUT, 30L);
        d->set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        d->set(CURLOPT_LOW_SPEED_TIME, long(o.stallSeconds));
        d->set(CURLOPT_TIMEOUT, long(o.totalSeconds));
        d->set(CURLOPT_ERRORBUFFER, d->errorText);
        d->set(CURLOPT_HEADERFUNCTION, onHeader);
        d->set(CURLOPT_WRITEFUNCTION, onBody);
        d->set(CURLOPT_XFERINFOFUNCTION, onProgress);
        d->set(CURLOPT_NOPROGRESS, 0L);
        // No proxy can reach this machine's own loopback (the local test server).
        QByteArray noProxy = qgetenv("no_proxy");
        if (noProxy.isEmpty())
            noProxy = qgetenv("NO_PROXY");
        noProxy += noProxy.isEmpty() ? "127.0.0.1,localhost,::1" : ",127.0.0.1,localhost,::1";
        d->set(CURLOPT_NOPROXY, noProxy.constData());
        if (https) {
            d->set(CURLOPT_SSL_VERIFYPEER, 1L);
            d->set(CURLOPT_SSL_VERIFYHOST, 2L);
            d->set(CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
            d->setUpTrust();
        }
    } catch (...) {
        curl_slist_free_all(d->headers);
        curl_easy_cleanup(d->handle);
        throw;
    }
}

HttpClient::~HttpClient()
{
    curl_easy_cleanup(d->handle);
    curl_slist_free_all(d->headers);
}

const HttpClientOptions &HttpClient::options() const { return d->options; }

QByteArray HttpClient::get(const QString &url, const HttpProgress &progress, qint64 maxBodyBytes)
{
    Transfer transfer;
    perform(url, transfer, progress,
            maxBodyBytes > 0 ? std::min(maxBodyBytes, kMaxMemoryBodyBytes) : kMaxMemoryBodyBytes);
    return std::move(transfer.body);
}

void HttpClient::download(const QString &url, int fd, const HttpProgress &progress, qint64 maxBodyBytes)
{
    Transfer transfer;
    transfer.fd = fd;
    perform(url, transfer, progress, maxBodyBytes);
}

void HttpClient::perform(const QString &url, Transfer &transfer, const HttpProgress &progress, qint64 maxBodyBytes)
{
    const std::lock_guard lock(d->mutex);
    const QByteArray address = url.toUtf8();
    // An address may come from a server's answer: it is shown cut short.
    const QString shown = Messages::shortened(url);
    // A local file's path is read by QUrl, which takes what curl does not.
    const bool local = address.toLower().startsWith("file:");
    const QByteArray scheme = local ? QByteArray("file") : schemeOf(address);
    if (!local && malformed(address, scheme))
        throw Error(QStringLiteral("Refused \"%1\": the address is malformed (a web address holds no spaces, "
                                   "quotes or control characters)")
                        .arg(shown));
    if (d->options.plainHttpOnly && scheme != "http")
        throw Error(
            QStringLiteral("Refused \"%1\": this download takes only plain HTTP (http://) addresses").arg(shown));
    if (d->options.httpsOnly && scheme != "https")
        throw Error(QStringLiteral("Refused \"%1\": this download takes only secure (https://) addresses").arg(shown));
    if (local && !d->options.allowFileUrls)
        throw Error(QStringLiteral("Refused \"%1\": this download takes no file:// addresses").arg(shown));
    if (!d->caError.isEmpty())
        throw Error(d->caError);

    transfer.handle = d->handle;
    transfer.progress = &progress;
    transfer.limit = maxBodyBytes > 0 ? std::min(maxBodyBytes, d->options.maxBodyBytes) : d->options.maxBodyBytes;
    transfer.follow = d->options.followRedirects;
    d->set(CURLOPT_URL, address.constData());
    d->set(CURLOPT_HEADERDATA, &transfer);
    d->set(CURLOPT_WRITEDATA, &transfer);
    d->set(CURLOPT_XFERINFODATA, &transfer);
    d->errorText[0] = '\0';

    const auto started = std::chrono::steady_clock::now();
    if (local)
        readLocalFile(url, transfer);
    const CURLcode result = local ? CURLE_OK : curl_easy_perform(d->handle);
    const auto took = std::chrono::steady_clock::now() - started;

    switch (transfer.stop) {
    case Transfer::Stop::Thrown:
        std::rethrow_exception(transfer.thrown);
    case Transfer::Stop::TooLarge:
        throw Error(QStringLiteral("Refused \"%1\": the download is larger than the limit of %2")
                        .arg(shown, limitText(transfer.limit)));
    case Transfer::Stop::Status:
        throw Error(Messages::shortened(QString::fromLatin1(transfer.statusLine)));
    case Transfer::Stop::Cancelled:
        throw Error(QStringLiteral("The download of \"%1\" was cancelled").arg(shown));
    case Transfer::Stop::WriteFailed:
        throw Error(QStringLiteral("Cannot save the download of \"%1\": %2")
                        .arg(shown, fileio::systemText(transfer.writeError)));
    case Transfer::Stop::None:
        break;
    }
    // curl keeps its own clock, a little ahead of this one; a stall ends far sooner.
    if (result == CURLE_OPERATION_TIMEDOUT &&
        took >= std::chrono::seconds(d->options.totalSeconds) - std::chrono::seconds(1))
        throw Error(QStringLiteral("The download of \"%1\" took longer than the limit of %2 seconds")
                        .arg(shown)
                        .arg(d->options.totalSeconds));
    if (result != CURLE_OK) {
        const QString text = QString::fromUtf8(d->errorText).trimmed();
        throw Error(text.isEmpty() ? QString::fromUtf8(curl_easy_strerror(result)) : text);
    }
    // A redirect that was not followed, or one without a target.
    if (transfer.refusedStatus())
        throw Error(Messages::shortened(QString::fromLatin1(transfer.statusLine)));
    if (!transfer.begun)
        transfer.begin(); // an empty body
}

HttpClientOptions IdHTTP1Options()
{
    HttpClientOptions options;
    options.userAgent = QStringLiteral("Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
                                       "Chrome/49.0.2623.75 Safari/537.36");
    options.followRedirects = true;
    options.allowFileUrls = true;
    return options;
}

HttpClientOptions IdHTTP2Options()
{
    HttpClientOptions options;
    options.userAgent = QStringLiteral("Mozilla/3.0 (compatible; Indy Library)");
    options.followRedirects = false;
    options.plainHttpOnly = true;
    return options;
}

HttpClientOptions serverFeedOptions()
{
    HttpClientOptions options;
    options.userAgent = QStringLiteral("Vorlune");
    options.followRedirects = true;
    options.httpsOnly = true;
    return options;
}

} // namespace vorlune::testrun

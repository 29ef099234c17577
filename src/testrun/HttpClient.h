#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace vorlune::testrun {

// Bodies beyond this are refused as they arrive, with or without a length.
inline constexpr qint64 kMaxBodyBytes = qint64(256) << 20;
// get() holds the body in memory: never more than this.
inline constexpr qint64 kMaxMemoryBodyBytes = qint64(64) << 20;

// Either may be empty. A callback that throws stops the transfer, and get()
// rethrows what it threw: that is how a download is cancelled.
struct HttpProgress {
    std::function<void(qint64 expected)> begin; // once, when the body starts: its expected size (-1 when unknown)
    std::function<void(qint64 received)> work;  // bytes received so far, as they arrive
    // When set and true, the transfer stops within about a second, even while
    // the server sends nothing, and get() throws.
    const std::atomic_bool *cancel = nullptr;
};

struct HttpClientOptions {
    QString userAgent;
    bool followRedirects = true;
    bool plainHttpOnly = false; // any scheme other than http:// refused with a clear error
    bool allowFileUrls = false; // file:// URLs (the bundled download site); plainHttpOnly wins
    bool httpsOnly = false;     // https:// only, redirects included
    qint64 maxBodyBytes = kMaxBodyBytes;
    // A transfer that receives nothing for this long is given up.
    int stallSeconds = 60;
    // A transfer that takes longer than this in all is given up: a server
    // sending a byte now and then cannot keep it alive for ever.
    int totalSeconds = 30 * 60;
};

struct Transfer;

// One connection state (cookies, reused connections) for one purpose. get()
// may be called from any thread; calls on one client run one at a time.
class HttpClient {
public:
    explicit HttpClient(HttpClientOptions options);
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    const HttpClientOptions &options() const;

    // GET; the body as bytes. Throws vorlune::Error: for a non-2xx answer the text is exactly the
    // response's status line (e.g. "HTTP/1.1 404 Not Found"); other failures carry curl's own text.
    // A maxBodyBytes above 0 lowers the client's limit for this call; kMaxMemoryBodyBytes bounds it.
    QByteArray get(const QString &url, const HttpProgress &progress = {}, qint64 maxBodyBytes = 0);

    // GET with the body written to the open file `fd` as it arrives instead of held in memory;
    // fails as get() does, and with the system's text when a write fails.
    void download(const QString &url, int fd, const HttpProgress &progress = {}, qint64 maxBodyBytes = 0);

private:
    struct Private;
    void perform(const QString &url, Transfer &transfer, const HttpProgress &progress, qint64 maxBodyBytes);
    std::unique_ptr<Private> d;
};

HttpClientOptions IdHTTP1Options(); // HTTP, HTTPS and file URLs; redirects followed
HttpClientOptions IdHTTP2Options(); // plain HTTP only; redirects not followed
// Today's server and its PHP builds: HTTPS only, with verified certificates,
// following its download redirects (to another host) a few hops at most.
HttpClientOptions serverFeedOptions();
inline constexpr long kServerFeedRedirects = 5;

} // namespace vorlune::testrun

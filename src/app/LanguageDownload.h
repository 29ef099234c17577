#pragma once

#include "base/IniImage.h"
#include "testrun/HttpClient.h"

#include <QString>
#include <QThread>

#include <atomic>

namespace vorlune::app {

// The language files of the download site, in the order of the language menu.
struct LanguageSource {
    const char *menuItem;
    const char *caption;
    const char *path;   // below the site's base URL
    const char *locale; // the file's own "language=" in its VORLUNE section
};
inline constexpr LanguageSource kLanguageSources[] = {
    {"E1", "English", "VL-Files/languages/English.ini", "en"},
    {"N10", "Русский", "VL-Files/languages/Russian.ini", "ru"},
    {"N11", "Українська", "VL-Files/languages/Ukrainian.ini", "uk"},
    {"N12", "中文", "VL-Files/languages/Chinese.ini", "zh_CN"},
    {"Lietuvi1", "Lietuvių", "VL-Files/languages/Lithuanian.ini", "lt"},
};

// The main window's client for language files: redirects not followed,
// HTTPS verified, the bundled site's file URL accepted.
testrun::HttpClientOptions languageClientOptions();

// One language download on a thread of its own: the file at `url` is
// fetched, read and completed with the texts it lacks (as the loader would
// write it back), and written whole over `languageFile`, which is left as
// it was when anything fails, or when the completed file would be larger
// than a language file may be read back. The window takes the read texts
// (takeLanguage()) when downloaded() arrives; failed() carries the error's
// own text.
class TSreamDownload : public QThread {
    Q_OBJECT
public:
    TSreamDownload(testrun::HttpClient &client, const QString &url, const QString &languageFile,
                   QObject *parent = nullptr);
    ~TSreamDownload() override; // cancels and waits

    void cancel() { m_cancel = true; }
    // The completed language file as read; once, after downloaded().
    base::IniImage takeLanguage() { return std::move(m_language); }

Q_SIGNALS:
    void downloaded();
    void failed(const QString &text);

protected:
    void run() override; // Execute

private:
    testrun::HttpClient &m_client;
    QString m_url;
    QString m_languageFile;
    std::atomic_bool m_cancel = false;
    base::IniImage m_language;
};

} // namespace vorlune::app

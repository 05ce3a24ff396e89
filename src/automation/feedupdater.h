#pragma once

#include "automation/updatefeed.h"

#include <QDateTime>
#include <QObject>
#include <QSslCertificate>
#include <QTimer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Reads the signed update feed over HTTPS, finds the newest release and, when automatic
// downloads are on and that release is newer than the running version, downloads its enclosure
// into the cache folder, keeping it only when its Ed25519 signature verifies. Nothing it
// downloads is ever run or installed.
//
// Its two settings (automatic checks, automatic downloads) and the time of the last check are
// kept in `stateFile`; with automatic checks on, it checks once a day.
//
// Main thread only. Each check ends with exactly one outcome() line.
class FeedUpdater : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QUrl feed;
        QByteArray publicKey; // 32 bytes
        QString currentVersion;
        QString cacheFolder;
        QString stateFile;
        // Certificates trusted besides the system's (tests serve the feed themselves).
        QList<QSslCertificate> trusted;
    };

    static constexpr qint64 kCheckIntervalMs = 24LL * 60 * 60 * 1000;
    static constexpr qint64 kMaxFeedBytes = 4'000'000;
    static constexpr qint64 kMaxDownloadBytes = 1'000'000'000;

    explicit FeedUpdater(Settings settings, QObject *parent = nullptr);
    ~FeedUpdater() override;

    // Reads the kept settings and makes the cache folder; the reason on failure.
    std::optional<QString> start();

    bool automaticallyChecksForUpdates() const { return m_automaticChecks; }
    void setAutomaticallyChecksForUpdates(bool on);
    bool automaticallyDownloadsUpdates() const { return m_automaticDownloads; }
    void setAutomaticallyDownloadsUpdates(bool on);
    // Checks now, unless a check is running.
    void checkForUpdates();
    bool checking() const { return m_reply != nullptr; }

Q_SIGNALS:
    // One line saying how a check ended.
    void outcome(const QString &line);

private:
    QNetworkReply *get(const QUrl &url, qint64 maxBytes);
    void feedArrived();
    void downloadArrived(const UpdateFeed::Release &release);
    void finishCheck(const QString &line);
    void save() const;
    void scheduleNextCheck();
    QString fileNameOf(const UpdateFeed::Release &release) const;

    Settings m_settings;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer m_daily;
    bool m_automaticChecks = false;
    bool m_automaticDownloads = false;
    QDateTime m_lastCheck;
};

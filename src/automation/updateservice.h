#pragma once

#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QVariant>

#include <memory>

class FeedUpdater;

// Signed updates: decides at start whether the build carries a usable signed feed (an https
// address and a standard Base64 Ed25519 public key of exactly 32 bytes), starts the updater when
// it does, and publishes three values for the settings window: `configured`, `automatic` and a
// one-line `status`. Installing a downloaded update is left to the user or the package manager.
//
// Unconfigured (the state of a build without a valid feed, and after a failed start) or
// configured (after a successful start, for the rest of the run). Main thread only.
class UpdateService : public QObject
{
    Q_OBJECT

public:
    // The build's update settings, as given (absent or not a text: an invalid QVariant or one of
    // another type), and where the updater keeps its files.
    struct Setup
    {
        QVariant feedUrl;
        QVariant publicKey;
        QVariant version;
        QString cacheFolder;
        QString stateFile;
        QList<QSslCertificate> trusted; // besides the system's certificates
    };

    static QString unconfiguredStatus()
    {
        return QStringLiteral("No signed update feed is configured for this local build.");
    }
    static QString configuredStatus() { return QStringLiteral("Signed updates are checked daily."); }

    // The settings compiled into this build, with $XDG_CACHE_HOME/tessary/updates for downloads.
    static Setup fromBuild();

    explicit UpdateService(Setup setup, QObject *parent = nullptr);
    ~UpdateService() override;

    bool configured() const { return m_configured; }
    bool automatic() const { return m_automatic; }
    // Turns automatic checks and automatic downloads on or off together.
    void setAutomatic(bool on);
    const QString &status() const { return m_status; }
    // "Tessary " and the version, or "Tessary Development" when the build has none.
    QString headline() const;

    // Starts the updater once; does nothing when it runs already or the feed is not usable.
    void start();
    // Checks now; does nothing when unconfigured.
    void check();

    // Whether `value` is a text that parses as a URL whose scheme is exactly "https".
    static bool isUsableFeed(const QVariant &value);
    // Whether `value` is a text in standard Base64 of exactly 32 bytes.
    static bool isUsableKey(const QVariant &value);

    // The updater, once started (tests look at its settings).
    const FeedUpdater *updater() const { return m_updater.get(); }

Q_SIGNALS:
    void configuredChanged();
    void automaticChanged();
    void statusChanged();

private:
    void setStatus(const QString &status);
    void applyAutomatic();

    Setup m_setup;
    std::unique_ptr<FeedUpdater> m_updater;
    bool m_configured = false;
    bool m_automatic = false;
    QString m_status = unconfiguredStatus();
};

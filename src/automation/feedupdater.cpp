#include "automation/feedupdater.h"

#include "automation/updatesignature.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QSslConfiguration>

namespace {

const QString kChecks = QStringLiteral("automaticallyChecks");
const QString kDownloads = QStringLiteral("automaticallyDownloads");
const QString kLastCheck = QStringLiteral("lastCheck");

} // namespace

FeedUpdater::FeedUpdater(Settings settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_network(new QNetworkAccessManager(this))
{
    m_daily.setSingleShot(true);
    connect(&m_daily, &QTimer::timeout, this, &FeedUpdater::checkForUpdates);
}

FeedUpdater::~FeedUpdater() = default;

std::optional<QString> FeedUpdater::start()
{
    QFile file(m_settings.stateFile);
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
        m_automaticChecks = state.value(kChecks).toBool(false);
        m_automaticDownloads = state.value(kDownloads).toBool(false);
        m_lastCheck = QDateTime::fromString(state.value(kLastCheck).toString(), Qt::ISODateWithMs);
    }
    if (!QDir().mkpath(m_settings.cacheFolder))
        return QStringLiteral("The folder for downloaded updates, %1, could not be made.").arg(m_settings.cacheFolder);
    QFile::setPermissions(
        m_settings.cacheFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    scheduleNextCheck();
    return std::nullopt;
}

void FeedUpdater::setAutomaticallyChecksForUpdates(bool on)
{
    if (m_automaticChecks == on)
        return;
    m_automaticChecks = on;
    save();
    scheduleNextCheck();
}

void FeedUpdater::setAutomaticallyDownloadsUpdates(bool on)
{
    if (m_automaticDownloads == on)
        return;
    m_automaticDownloads = on;
    save();
}

void FeedUpdater::checkForUpdates()
{
    if (m_reply != nullptr)
        return;
    m_daily.stop();
    m_reply = get(m_settings.feed, kMaxFeedBytes);
    connect(m_reply, &QNetworkReply::finished, this, &FeedUpdater::feedArrived);
}

QNetworkReply *FeedUpdater::get(const QUrl &url, qint64 maxBytes)
{
    QNetworkRequest request(url);
    // Never from https to anything less.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!m_settings.trusted.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.addCaCertificates(m_settings.trusted);
        request.setSslConfiguration(ssl);
    }
    QNetworkReply *reply = m_network->get(request);
    // A body larger than any feed or package is abandoned, not held in memory.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64) {
        if (received > maxBytes)
            reply->abort();
    });
    return reply;
}

void FeedUpdater::feedArrived()
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    m_lastCheck = QDateTime::currentDateTimeUtc();
    save();
    if (reply->error() != QNetworkReply::NoError) {
        finishCheck(QStringLiteral("The update check failed: %1").arg(reply->errorString()));
        return;
    }
    const UpdateFeed::Parsed feed = UpdateFeed::parse(reply->readAll());
    if (!feed.error.isEmpty()) {
        finishCheck(QStringLiteral("The update check failed: the feed could not be read (%1).").arg(feed.error));
        return;
    }
    const std::optional<UpdateFeed::Release> newest = UpdateFeed::newest(feed.releases);
    if (!newest || UpdateFeed::compareVersions(newest->version, m_settings.currentVersion) <= 0) {
        finishCheck(QStringLiteral("Tessary is up to date."));
        return;
    }
    if (!m_automaticDownloads) {
        finishCheck(QStringLiteral("Tessary %1 is available.").arg(newest->version));
        return;
    }
    const UpdateFeed::Release release = *newest;
    m_reply = get(release.url, kMaxDownloadBytes);
    connect(m_reply, &QNetworkReply::finished, this, [this, release] { downloadArrived(release); });
}

void FeedUpdater::downloadArrived(const UpdateFeed::Release &release)
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    const QString available = QStringLiteral("Tessary %1 is available").arg(release.version);
    if (reply->error() != QNetworkReply::NoError) {
        finishCheck(QStringLiteral("%1, but its download failed: %2").arg(available, reply->errorString()));
        return;
    }
    const QByteArray contents = reply->readAll();
    // Checked in memory, so that bytes that fail never reach the disk.
    if (!UpdateSignature::verify(m_settings.publicKey, contents, release.signature)) {
        finishCheck(QStringLiteral("%1, but its download was refused: the signature does not match.").arg(available));
        return;
    }
    const QString path = QDir(m_settings.cacheFolder).filePath(fileNameOf(release));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit()) {
        finishCheck(QStringLiteral("%1, but it could not be saved: %2").arg(available, file.errorString()));
        return;
    }
    finishCheck(QStringLiteral("%1. The signed download is in %2.").arg(available, QDir::toNativeSeparators(path)));
}

void FeedUpdater::finishCheck(const QString &line)
{
    m_reply = nullptr;
    scheduleNextCheck();
    Q_EMIT outcome(line);
}

QString FeedUpdater::fileNameOf(const UpdateFeed::Release &release) const
{
    // The last segment of the address, if it is a plain name; never a path of the server's choosing.
    QString name = release.url.fileName(QUrl::FullyDecoded);
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(QChar(0)))
        name = QStringLiteral("tessary-%1").arg(release.version);
    name.replace(u'/', u'_');
    return name;
}

void FeedUpdater::save() const
{
    QJsonObject state;
    state.insert(kChecks, m_automaticChecks);
    state.insert(kDownloads, m_automaticDownloads);
    if (m_lastCheck.isValid())
        state.insert(kLastCheck, m_lastCheck.toString(Qt::ISODateWithMs));
    QDir().mkpath(QFileInfo(m_settings.stateFile).absolutePath());
    QSaveFile file(m_settings.stateFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(state).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

void FeedUpdater::scheduleNextCheck()
{
    m_daily.stop();
    if (!m_automaticChecks || m_reply != nullptr)
        return;
    // Due a day after the last check (at once if there was none), counted across launches.
    qint64 wait = 0;
    if (m_lastCheck.isValid()) {
        const qint64 since = m_lastCheck.msecsTo(QDateTime::currentDateTimeUtc());
        wait = kCheckIntervalMs - std::clamp(since, qint64(0), kCheckIntervalMs);
    }
    m_daily.start(std::chrono::milliseconds(wait));
}

#include "automation/updateservice.h"

#include "automation/feedupdater.h"
#include "automation/updatesignature.h"
#include "platform/xdgpaths.h"

#include <QDir>
#include <QUrl>

namespace {

// Whether `value` holds a text (not a number or a list that merely converts to one).
bool isText(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<QString>();
}

} // namespace

UpdateService::Setup UpdateService::fromBuild()
{
    Setup setup;
#ifdef TESSARY_UPDATE_FEED_URL
    setup.feedUrl = QStringLiteral(TESSARY_UPDATE_FEED_URL);
#endif
#ifdef TESSARY_UPDATE_PUBLIC_KEY
    setup.publicKey = QStringLiteral(TESSARY_UPDATE_PUBLIC_KEY);
#endif
#ifdef TESSARY_VERSION
    setup.version = QStringLiteral(TESSARY_VERSION);
#endif
    setup.cacheFolder = XdgPaths::cacheHome() + QStringLiteral("/tessary/updates");
    setup.stateFile = XdgPaths::configHome() + QStringLiteral("/tessary/updates.json");
    return setup;
}

UpdateService::UpdateService(Setup setup, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
{ }

UpdateService::~UpdateService() = default;

bool UpdateService::isUsableFeed(const QVariant &value)
{
    if (!isText(value))
        return false;
    const QString text = value.toString();
    const QUrl url(text, QUrl::StrictMode);
    // QUrl lower-cases the scheme it reports, so the text itself must begin with it.
    return url.isValid() && url.scheme() == u"https" && text.startsWith(u"https:") && !url.host().isEmpty();
}

bool UpdateService::isUsableKey(const QVariant &value)
{
    return isText(value) && UpdateSignature::decodePublicKey(value.toString()).has_value();
}

QString UpdateService::headline() const
{
    const QString version = isText(m_setup.version) ? m_setup.version.toString() : QStringLiteral("Development");
    return QStringLiteral("Tessary ") + version;
}

void UpdateService::start()
{
    if (m_updater)
        return;
    if (!isUsableFeed(m_setup.feedUrl) || !isUsableKey(m_setup.publicKey))
        return;
    FeedUpdater::Settings settings;
    settings.feed = QUrl(m_setup.feedUrl.toString(), QUrl::StrictMode);
    settings.publicKey = *UpdateSignature::decodePublicKey(m_setup.publicKey.toString());
    settings.currentVersion = isText(m_setup.version) ? m_setup.version.toString() : QString();
    settings.cacheFolder = m_setup.cacheFolder;
    settings.stateFile = m_setup.stateFile;
    settings.trusted = m_setup.trusted;
    auto updater = std::make_unique<FeedUpdater>(settings);
    if (const std::optional<QString> failure = updater->start()) {
        setStatus(*failure);
        return;
    }
    m_updater = std::move(updater);
    connect(m_updater.get(), &FeedUpdater::outcome, this, &UpdateService::setStatus);
    m_configured = true;
    Q_EMIT configuredChanged();
    if (m_automatic != m_updater->automaticallyChecksForUpdates()) {
        m_automatic = m_updater->automaticallyChecksForUpdates();
        Q_EMIT automaticChanged();
    }
    // Downloads follow checks from the first run on.
    applyAutomatic();
    setStatus(configuredStatus());
}

void UpdateService::check()
{
    if (m_updater)
        m_updater->checkForUpdates();
}

void UpdateService::setAutomatic(bool on)
{
    if (m_automatic != on) {
        m_automatic = on;
        Q_EMIT automaticChanged();
    }
    applyAutomatic();
}

void UpdateService::applyAutomatic()
{
    if (!m_updater)
        return;
    m_updater->setAutomaticallyChecksForUpdates(m_automatic);
    m_updater->setAutomaticallyDownloadsUpdates(m_automatic);
}

void UpdateService::setStatus(const QString &status)
{
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

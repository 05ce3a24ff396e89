#include "store/librarysettings.h"

#include "platform/desktop/defaultsfile.h"

#include <limits>

namespace {

const QString kTileSize = QStringLiteral("tileSize");
const QString kMenuBarEnabled = QStringLiteral("menuBarEnabled");
const QString kAppearance = QStringLiteral("appearance");
const QString kAutoRefresh = QStringLiteral("autoRefresh");
const QString kAutoInstallers = QStringLiteral("autoInstallers");
const QString kAutoScreenshots = QStringLiteral("autoScreenshots");
const QString kMinimal = QStringLiteral("minimal");
const QString kIndexOnBattery = QStringLiteral("indexOnBattery");
const QString kPinnedPaths = QStringLiteral("pinnedPaths");
const QString kSavedSearches = QStringLiteral("savedSearches");
const QString kLastRuleRun = QStringLiteral("lastRuleRun");
const QString kFolderBookmarks = QStringLiteral("folderBookmarks");
const QString kHotKeyCode = QStringLiteral("hotKeyCode");
const QString kHotKeyMods = QStringLiteral("hotKeyMods");
const QString kHotKeyLabel = QStringLiteral("hotKeyLabel");

quint32 storedUnsigned(const DefaultsFile &file, const QString &key, quint32 fallback)
{
    const std::optional<qint64> value = file.integer(key);
    if (!value || *value < 0 || *value > std::numeric_limits<quint32>::max())
        return fallback;
    return quint32(*value);
}

} // namespace

LibrarySettings::LibrarySettings(const QString &file)
    : m_file(std::make_unique<DefaultsFile>(file.isEmpty() ? DefaultsFile::defaultPath() : file))
{ }

LibrarySettings::~LibrarySettings() = default;

double LibrarySettings::tileSize() const
{
    const double stored = m_file->number(kTileSize).value_or(0);
    return stored == 0 ? kDefaultTileSize : stored;
}

bool LibrarySettings::menuBarEnabled() const
{
    return m_file->boolean(kMenuBarEnabled).value_or(true);
}

QString LibrarySettings::appearance() const
{
    return m_file->string(kAppearance).value_or(QStringLiteral("System"));
}

bool LibrarySettings::autoRefresh() const
{
    return m_file->boolean(kAutoRefresh).value_or(true);
}

bool LibrarySettings::autoInstallers() const
{
    return m_file->plainBoolean(kAutoInstallers);
}

bool LibrarySettings::autoScreenshots() const
{
    return m_file->plainBoolean(kAutoScreenshots);
}

bool LibrarySettings::minimal() const
{
    return m_file->plainBoolean(kMinimal);
}

bool LibrarySettings::indexOnBattery() const
{
    return m_file->plainBoolean(kIndexOnBattery);
}

QStringList LibrarySettings::pinnedPaths() const
{
    return m_file->stringList(kPinnedPaths).value_or(QStringList());
}

QStringList LibrarySettings::savedSearches() const
{
    return m_file->stringList(kSavedSearches).value_or(QStringList());
}

Timestamp LibrarySettings::lastRuleRun() const
{
    return m_file->date(kLastRuleRun).value_or(Timestamp::distantPast());
}

QByteArrayList LibrarySettings::folderBookmarks() const
{
    return m_file->dataList(kFolderBookmarks).value_or(QByteArrayList());
}

bool LibrarySettings::setTileSize(double value)
{
    return m_file->setNumber(kTileSize, value);
}

bool LibrarySettings::setMenuBarEnabled(bool value)
{
    return m_file->setBoolean(kMenuBarEnabled, value);
}

bool LibrarySettings::setAppearance(const QString &value)
{
    return m_file->setString(kAppearance, value);
}

bool LibrarySettings::setAutoRefresh(bool value)
{
    return m_file->setBoolean(kAutoRefresh, value);
}

bool LibrarySettings::setAutoInstallers(bool value)
{
    return m_file->setBoolean(kAutoInstallers, value);
}

bool LibrarySettings::setAutoScreenshots(bool value)
{
    return m_file->setBoolean(kAutoScreenshots, value);
}

bool LibrarySettings::setMinimal(bool value)
{
    return m_file->setBoolean(kMinimal, value);
}

bool LibrarySettings::setIndexOnBattery(bool value)
{
    return m_file->setBoolean(kIndexOnBattery, value);
}

bool LibrarySettings::setPinnedPaths(const QStringList &value)
{
    return m_file->setStringList(kPinnedPaths, value);
}

bool LibrarySettings::setSavedSearches(const QStringList &value)
{
    return m_file->setStringList(kSavedSearches, value);
}

bool LibrarySettings::setLastRuleRun(const Timestamp &value)
{
    return m_file->setDate(kLastRuleRun, value);
}

bool LibrarySettings::setFolderBookmarks(const QByteArrayList &value)
{
    return m_file->setDataList(kFolderBookmarks, value);
}

QString LibrarySettings::lastError() const
{
    return m_file->lastError();
}

quint32 LibrarySettings::hotKeyCode() const
{
    return storedUnsigned(*m_file, kHotKeyCode, kDefaultHotKeyCode);
}

quint32 LibrarySettings::hotKeyMods() const
{
    return storedUnsigned(*m_file, kHotKeyMods, kDefaultHotKeyMods);
}

QString LibrarySettings::hotKeyLabel() const
{
    return m_file->string(kHotKeyLabel).value_or(QStringLiteral("Shift+Ctrl+Space"));
}

bool LibrarySettings::setHotKey(quint32 code, quint32 mods, const QString &label)
{
    return m_file->setInteger(kHotKeyCode, code) && m_file->setInteger(kHotKeyMods, mods)
        && m_file->setString(kHotKeyLabel, label);
}

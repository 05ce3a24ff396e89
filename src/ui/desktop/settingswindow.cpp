#include "ui/desktop/settingswindow.h"

#include "readers/contentreaders.h"
#include "store/librarystore.h"
#include "ui/desktop/desktopservices.h"
#include "ui/desktop/downloadstray.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>

namespace {

SettingsWindow::UpdateBlockFactory &updateBlockFactory()
{
    static SettingsWindow::UpdateBlockFactory factory;
    return factory;
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QCheckBox *toggle(const QString &text, bool on, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setAccessibleName(text);
    box->setChecked(on);
    return box;
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *result = new QPushButton(text, parent);
    result->setAccessibleName(text);
    return result;
}

QGroupBox *section(const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    new QVBoxLayout(box);
    return box;
}

// Keeps a label on a store text: set now and on every change.
template <typename Getter, typename Signal>
QLabel *followingLabel(LibraryStore &store, Getter getter, Signal changed, QWidget *parent, bool secondary)
{
    QLabel *label = secondary ? secondaryLabel((store.*getter)(), parent) : new QLabel((store.*getter)(), parent);
    label->setWordWrap(true);
    QObject::connect(&store, changed, label, [label, &store, getter] { label->setText((store.*getter)()); });
    return label;
}

} // namespace

void SettingsWindow::setUpdateBlockFactory(UpdateBlockFactory factory)
{
    updateBlockFactory() = std::move(factory);
}

SettingsWindow::SettingsWindow(LibraryStore &store, DesktopServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_services(services)
{
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(kSize);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *content = new QWidget(scroll);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(14);
    layout->addWidget(appearanceSection());
    layout->addWidget(quickSearchSection());
    layout->addWidget(textSearchSection());
    layout->addWidget(cleanupSection());
    layout->addWidget(updateSection());
    layout->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll);
}

SettingsWindow::~SettingsWindow()
{
    stopRecording();
}

QWidget *SettingsWindow::appearanceSection()
{
    QGroupBox *box = section(QStringLiteral("Appearance and browsing"), this);
    auto *form = new QFormLayout;
    auto *appearance = new QComboBox(box);
    appearance->addItems({ QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark") });
    appearance->setAccessibleName(QStringLiteral("Appearance"));
    appearance->view()->setAccessibleName(QStringLiteral("Appearance"));
    appearance->setCurrentText(m_store.appearance());
    form->addRow(QStringLiteral("Appearance"), appearance);

    auto *tileSize = new QSlider(Qt::Horizontal, box);
    tileSize->setAccessibleName(QStringLiteral("Thumbnail size"));
    // The slider counts steps of ten, so no position gives a size off the 10-point grid.
    tileSize->setRange(kMinimumTileSize / kTileSizeStep, kMaximumTileSize / kTileSizeStep);
    tileSize->setPageStep(1);
    const auto sliderValue = [this] { return qRound(m_store.tileSize() / kTileSizeStep); };
    tileSize->setValue(sliderValue());
    form->addRow(QStringLiteral("Thumbnail size"), tileSize);
    static_cast<QVBoxLayout *>(box->layout())->addLayout(form);

    QCheckBox *minimal = toggle(QStringLiteral("Minimal, monochrome look"), m_store.minimal(), box);
    QCheckBox *refresh = toggle(QStringLiteral("Refresh folders every minute"), m_store.autoRefresh(), box);
    QCheckBox *menuBar = toggle(QStringLiteral("Show latest downloads in the menu bar"), m_store.menuBarEnabled(), box);
    box->layout()->addWidget(minimal);
    box->layout()->addWidget(refresh);
    box->layout()->addWidget(liveFoldersLabel(box));
    auto *trayRow = new QHBoxLayout;
    trayRow->addWidget(menuBar);
    if (!DownloadsTray::isAvailable())
        trayRow->addWidget(secondaryLabel(QStringLiteral("This desktop shows no tray icons (on GNOME, "
                                                         "install the AppIndicator extension)."),
            box), 1);
    static_cast<QVBoxLayout *>(box->layout())->addLayout(trayRow);

    connect(appearance, &QComboBox::currentTextChanged, &m_store, &LibraryStore::setAppearance);
    connect(tileSize, &QSlider::valueChanged, this, [this](int steps) {
        m_store.setTileSize(double(steps * kTileSizeStep));
    });
    connect(minimal, &QCheckBox::toggled, &m_store, &LibraryStore::setMinimal);
    connect(refresh, &QCheckBox::toggled, &m_store, &LibraryStore::setAutoRefresh);
    connect(menuBar, &QCheckBox::toggled, &m_store, &LibraryStore::setMenuBarEnabled);
    connect(&m_store, &LibraryStore::appearanceChanged, appearance, [this, appearance] {
        const QSignalBlocker blocker(appearance);
        appearance->setCurrentText(m_store.appearance());
    });
    connect(&m_store, &LibraryStore::tileSizeChanged, tileSize, [tileSize, sliderValue] {
        const QSignalBlocker blocker(tileSize);
        tileSize->setValue(sliderValue());
    });
    connect(&m_store, &LibraryStore::minimalChanged, minimal, [this, minimal] { minimal->setChecked(m_store.minimal()); });
    connect(&m_store, &LibraryStore::autoRefreshChanged, refresh,
        [this, refresh] { refresh->setChecked(m_store.autoRefresh()); });
    connect(&m_store, &LibraryStore::menuBarEnabledChanged, menuBar,
        [this, menuBar] { menuBar->setChecked(m_store.menuBarEnabled()); });
    return box;
}

QLabel *SettingsWindow::liveFoldersLabel(QWidget *parent)
{
    QLabel *label = secondaryLabel(QString(), parent);
    label->setObjectName(QStringLiteral("following"));
    const auto show = [this, label] {
        label->setText(liveFoldersText(m_store.followedRoots(), m_store.autoRefresh()));
        label->setVisible(!label->text().isEmpty());
    };
    connect(&m_store, &LibraryStore::followedRootsChanged, label, show);
    connect(&m_store, &LibraryStore::autoRefreshChanged, label, show);
    show();
    return label;
}

QString SettingsWindow::liveFoldersText(const QList<LibraryWatcher::Root> &roots, bool autoRefresh)
{
    QStringList live;
    QStringList others;
    const QString home = QDir::homePath();
    for (const LibraryWatcher::Root &root : roots) {
        QString name = QString::fromUtf8(root.path);
        if (name.startsWith(home + u'/'))
            name = u'~' + name.mid(home.size());
        switch (root.following) {
        case LibraryWatcher::Following::live:
            live.append(name);
            break;
        case LibraryWatcher::Following::tooManyFolders:
            others.append(name
                + QStringLiteral(" (more folders than the system lets one program follow; "
                                 "raise fs.inotify.max_user_watches)"));
            break;
        case LibraryWatcher::Following::noEvents:
            others.append(name
                + QStringLiteral(" (its file system, %1, does not report changes)")
                      .arg(QString::fromUtf8(root.fileSystem)));
            break;
        case LibraryWatcher::Following::missing:
            others.append(name + QStringLiteral(" (not found)"));
            break;
        case LibraryWatcher::Following::unavailable:
            others.append(name + QStringLiteral(" (the system refused to report changes)"));
            break;
        }
    }
    QStringList lines;
    if (!live.isEmpty())
        lines.append(
            QStringLiteral("Followed live, changes show within a second: ") + live.join(QStringLiteral(", ")) + u'.');
    if (!others.isEmpty())
        lines.append((autoRefresh ? QStringLiteral("Read again every minute instead: ")
                                  : QStringLiteral("Read again only on Refresh Library: "))
            + others.join(QStringLiteral("; ")) + u'.');
    return lines.join(u'\n');
}

QWidget *SettingsWindow::quickSearchSection()
{
    QGroupBox *box = section(QStringLiteral("Quick Search"), this);
    m_record = new QPushButton(box);
    box->layout()->addWidget(m_record);
    // Why the last key pressed while recording was not taken.
    m_recordRefusal = secondaryLabel(QString(), box);
    m_recordRefusal->hide();
    box->layout()->addWidget(m_recordRefusal);
    box->layout()->addWidget(
        followingLabel(m_store, &LibraryStore::hotKeyStatus, &LibraryStore::hotKeyStatusChanged, box, true));
    connect(m_record, &QPushButton::clicked, this, &SettingsWindow::recordShortcut);
    connect(&m_store, &LibraryStore::hotKeyChanged, this, &SettingsWindow::updateRecordButton);
    updateRecordButton();
    return box;
}

QWidget *SettingsWindow::textSearchSection()
{
    QGroupBox *box = section(QStringLiteral("Text search"), this);
    box->layout()->addWidget(
        followingLabel(m_store, &LibraryStore::indexStatus, &LibraryStore::indexStatusChanged, box, false));
    m_rebuild = new QPushButton(box);
    box->layout()->addWidget(m_rebuild);
    QCheckBox *onBattery = toggle(QStringLiteral("Keep indexing on battery power"), m_store.indexOnBattery(), box);
    box->layout()->addWidget(onBattery);
    connect(onBattery, &QCheckBox::toggled, &m_store, &LibraryStore::setIndexOnBattery);
    connect(&m_store, &LibraryStore::indexOnBatteryChanged, onBattery,
        [this, onBattery] { onBattery->setChecked(m_store.indexOnBattery()); });
    box->layout()->addWidget(secondaryLabel(QStringLiteral("OCR and PDF text stay on this computer. The index is "
                                                           "stored in your ~/.local/share/Quillon folder."),
        box));
    box->layout()->addWidget(secondaryLabel(ContentReaders::confinementSummary(), box));
    connect(m_rebuild, &QPushButton::clicked, this, [this] {
        m_store.setTextIndex({});
        m_store.indexText();
    });
    connect(&m_store, &LibraryStore::indexingChanged, this, &SettingsWindow::updateIndexControls);
    connect(&m_store, &LibraryStore::scanningChanged, this, &SettingsWindow::updateIndexControls);
    updateIndexControls();
    return box;
}

QWidget *SettingsWindow::cleanupSection()
{
    QGroupBox *box = section(QStringLiteral("Optional automatic cleanup"), this);
    QCheckBox *installers = toggle(QStringLiteral("Trash installers older than 90 days when a matching app is installed"),
        m_store.autoInstallers(), box);
    QCheckBox *screenshots = toggle(
        QStringLiteral("Organize screenshots into Screenshots/year-month folders"), m_store.autoScreenshots(), box);
    box->layout()->addWidget(installers);
    box->layout()->addWidget(screenshots);
    box->layout()->addWidget(secondaryLabel(
        QStringLiteral("Runs daily while Tessary is open, on your selected folders. Installer matching requires "
                       "the same app name among your installed applications. Files changed since scanning are "
                       "skipped. Screenshot moves never overwrite existing files."),
        box));
    m_runRules = button(QStringLiteral("Run enabled rules now"), box);
    box->layout()->addWidget(m_runRules);
    box->layout()->addWidget(
        followingLabel(m_store, &LibraryStore::rulesStatus, &LibraryStore::rulesStatusChanged, box, true));

    connect(installers, &QCheckBox::toggled, &m_store, &LibraryStore::setAutoInstallers);
    connect(screenshots, &QCheckBox::toggled, &m_store, &LibraryStore::setAutoScreenshots);
    connect(m_runRules, &QPushButton::clicked, &m_store, &LibraryStore::runRules);
    connect(&m_store, &LibraryStore::autoInstallersChanged, installers, [this, installers] {
        installers->setChecked(m_store.autoInstallers());
        updateRulesButton();
    });
    connect(&m_store, &LibraryStore::autoScreenshotsChanged, screenshots, [this, screenshots] {
        screenshots->setChecked(m_store.autoScreenshots());
        updateRulesButton();
    });
    connect(&m_store, &LibraryStore::rulesRunningChanged, this, &SettingsWindow::updateRulesButton);
    updateRulesButton();
    return box;
}

QWidget *SettingsWindow::updateSection()
{
    QGroupBox *box = section(QStringLiteral("Release and updates"), this);
    if (updateBlockFactory()) {
        box->layout()->addWidget(updateBlockFactory()(box));
        return box;
    }
    // A build without the update service: the state of a build with no signed feed.
    const QString version = QCoreApplication::applicationVersion();
    box->layout()->addWidget(new QLabel(
        QStringLiteral("Tessary ") + (version.isEmpty() ? QStringLiteral("Development") : version), box));
    QCheckBox *automatic = toggle(QStringLiteral("Automatically download signed updates"), false, box);
    automatic->setEnabled(false);
    box->layout()->addWidget(automatic);
    QPushButton *check = button(QStringLiteral("Check for Updates…"), box);
    check->setEnabled(false);
    box->layout()->addWidget(check);
    box->layout()->addWidget(
        secondaryLabel(QStringLiteral("No signed update feed is configured for this local build."), box));
    return box;
}

void SettingsWindow::updateRecordButton()
{
    m_record->setText(m_recording ? QStringLiteral("Press a shortcut (Esc to cancel)…")
                                  : QStringLiteral("Record shortcut: ") + m_services.shortcutLabel());
    m_record->setAccessibleName(m_record->text());
    m_record->setEnabled(!m_recording);
}

void SettingsWindow::showRefusal(const QString &text)
{
    m_recordRefusal->setText(text);
    m_recordRefusal->setAccessibleName(text);
    m_recordRefusal->setVisible(!text.isEmpty());
}

void SettingsWindow::updateIndexControls()
{
    m_rebuild->setText(m_store.indexing() ? QStringLiteral("Indexing…") : QStringLiteral("Rebuild text index"));
    m_rebuild->setAccessibleName(m_rebuild->text());
    m_rebuild->setEnabled(!m_store.indexing() && !m_store.scanning());
}

void SettingsWindow::updateRulesButton()
{
    m_runRules->setEnabled(!m_store.rulesRunning() && (m_store.autoInstallers() || m_store.autoScreenshots()));
}

void SettingsWindow::recordShortcut()
{
    if (m_recording)
        return;
    m_recording = true;
    qApp->installEventFilter(this);
    showRefusal(QString());
    updateRecordButton();
}

void SettingsWindow::stopRecording()
{
    if (!m_recording)
        return;
    qApp->removeEventFilter(this);
    m_recording = false;
    showRefusal(QString());
    updateRecordButton();
}

bool SettingsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_recording)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed, so no menu shortcut fires; the key press follows and is handled below.
        event->accept();
        return true;
    case QEvent::KeyRelease:
        return true;
    case QEvent::KeyPress: {
        // One press reaches the filter once per receiver it is offered to; act on the first.
        if (!watched->isWidgetType() && !watched->isWindowType())
            return true;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat())
            return true;
        if (key->key() == Qt::Key_Escape) {
            stopRecording();
            return true;
        }
        const DesktopServices::Recording recording = m_services.setShortcut(*key);
        if (recording == DesktopServices::Recording::stored)
            stopRecording();
        else if (recording != DesktopServices::Recording::incomplete)
            showRefusal(DesktopServices::refusalText(recording));
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void SettingsWindow::keyPressEvent(QKeyEvent *event)
{
    // While recording, the filter above has taken Escape to cancel the recording.
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsWindow::hideEvent(QHideEvent *event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

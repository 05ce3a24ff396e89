#include "ui/shell/tessaryapplication.h"

#include "automation/automation.h"
#include "automation/updateservice.h"
#include "platform/fileurl.h"
#include "store/librarystore.h"
#include "ui/common/folderchooser.h"
#include "ui/common/symbols.h"
#include "ui/desktop/desktopservices.h"
#include "ui/desktop/settingswindow.h"
#include "ui/desktop/updatesettings.h"
#include "ui/shell/applicationservice.h"
#include "ui/shell/commands.h"
#include "ui/shell/contentview.h"
#include "ui/shell/graphicalsession.h"
#include "ui/shell/lookcontroller.h"
#include "ui/shell/mainwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>

#include <cstdio>
#include <cstring>
#include <thread>

#ifndef TESSARY_VERSION
#define TESSARY_VERSION "0"
#endif

namespace {

void printLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

bool hasArgument(int argc, char **argv, const char *argument)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], argument) == 0)
            return true;
    }
    return false;
}

// What a request from another `tessary`, or from the desktop, asks the window to do.
void runAction(const QString &name, MainWindow &window)
{
    if (name == u"quit")
        QApplication::quit();
    else if (name == u"quick-search")
        DesktopServices::shared().toggleSearch();
    else if (name == u"settings")
        DesktopServices::shared().showSettings();
    else
        window.showMain();
}

// A file handed to the running instance is shown in the preview when the library holds it.
void previewFirstKnown(LibraryStore &store, const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        const std::optional<QByteArray> path = FileUrl::toPath(url);
        if (!path)
            continue;
        if (const std::optional<FileRecord> file = store.file(*path)) {
            store.setSelection(file->id());
            store.setPreview(*file);
            return;
        }
    }
}

// Qt decodes a picture only after it has loaded every image format plugin and asked each
// whether it reads it, even a PNG it reads itself, so the first theme icon would load them all,
// with their libraries, before the first frame. A thread of its own loads them meanwhile.
std::jthread loadImageFormatsAhead()
{
    return std::jthread([] {
        QBuffer nothing;
        nothing.setData(QByteArray(16, '\0'));
        nothing.open(QIODevice::ReadOnly);
        QImageReader(&nothing).canRead();
    });
}

} // namespace

namespace TessaryApplication {

int run(int argc, char **argv)
{
    if (!GraphicalSession::environmentNamesDisplay()) {
        printLine(GraphicalSession::unavailableMessage());
        return 1;
    }
    GraphicalSession::installFailureHandler();

    QApplication::setApplicationName(QStringLiteral("tessary"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));
    QApplication::setDesktopFileName(QString::fromLatin1(ApplicationService::kServiceName));
    QApplication application(argc, argv);
    GraphicalSession::removeFailureHandler();

    const bool quickSearch = hasArgument(argc, argv, "--quick-search");
    ApplicationService service;
    const ApplicationService::Role role = service.registerOnSessionBus();
    if (role == ApplicationService::Role::secondary) {
        if (ApplicationService::activateRunning(quickSearch ? QStringLiteral("quick-search") : QString()))
            return 0;
        printLine(QStringLiteral("tessary: Tessary is running but did not answer; try again in a moment"));
        return 1;
    }

    const std::jthread imageFormats = loadImageFormatsAhead();
    Symbols::installThemeFallback();
    QApplication::setWindowIcon(Symbols::applicationIcon());

    LibraryStore &store = LibraryStore::shared();
    LookController look(store);
    MainWindow window(store);
    store.setFolderChooser([&window](const QString &message, const QString &prompt) {
        return FolderChooser::choose(&window, message, prompt);
    });
    if (role == ApplicationService::Role::primary) {
        // No event is handled before these are in place, so no call can find them missing.
        Automation::install(
            &service, store, [&window] { window.showMain(); },
            [&window](const QString &) { window.content().focusSearch(); });
    }
    UpdateService updates(UpdateService::fromBuild());
    SettingsWindow::setUpdateBlockFactory([&updates](QWidget *parent) { return new UpdateSettings(updates, parent); });
    // Once the window is up: the global shortcut, the panel and the tray, then the updater.
    DesktopServices &desktop = DesktopServices::shared();
    QObject::connect(&window, &MainWindow::firstShown, &window, [&] {
        desktop.configure(store, [&window] { window.showMain(); });
        updates.start();
        if (quickSearch)
            desktop.toggleSearch();
    });
    QObject::connect(&window.commands(), &Commands::quickSearchRequested, &desktop, &DesktopServices::toggleSearch);
    QObject::connect(&window.commands(), &Commands::settingsRequested, &desktop, &DesktopServices::showSettings);
    QObject::connect(&window.content(), &ContentView::quickSearchRequested, &desktop, &DesktopServices::toggleSearch);
    QObject::connect(&window.content(), &ContentView::settingsRequested, &desktop, &DesktopServices::showSettings);
    // Closing the window leaves Tessary running only where something can bring it back: another
    // `tessary`, or the desktop, reaching it through its name on the session bus.
    QApplication::setQuitOnLastWindowClosed(role != ApplicationService::Role::primary);
    QObject::connect(&service, &ApplicationService::activated, &window, &MainWindow::showMain);
    QObject::connect(&service, &ApplicationService::actionRequested, &window,
                     [&window](const QString &name) { runAction(name, window); });
    QObject::connect(&service, &ApplicationService::openRequested, &window,
                     [&store](const QList<QUrl> &urls) { previewFirstKnown(store, urls); });

    window.show();
    return QApplication::exec();
}

} // namespace TessaryApplication

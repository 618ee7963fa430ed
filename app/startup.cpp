#include "app/startup.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFontDatabase>
#include <QImageReader>
#include <QTimer>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <future>
#include <thread>

#include "app/forms.h"
#include "components/disc/cdimages.h"
#include "components/discwriter/imageparts.h"
#include "components/skin/skinpaint.h"
#include "disc/cdburner.h"
#include "library/cover.h"
#include "library/main.h"
#include "library/mmain.h"
#include "library/tracklibrary.h"
#include "platform/instancechannel.h"
#include "platform/keyboard.h"
#include "platform/modalguard.h"
#include "platform/ownedfiles.h"
#include "platform/posixfile.h"
#include "platform/paths.h"

const QString kInstanceKey = QStringLiteral("Tunevale");

namespace {

// A start that keeps losing the channel to other starts gives up rather
// than run beside them.
constexpr int kClaimAttempts = 5;

void BringToFront() {
    if (!fm_main) return;
    QWidget* shown = fm_main->MiniMode && fm_mmain ? static_cast<QWidget*>(fm_mmain) : fm_main;
    shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

// Shows the splash and makes the tool and disc windows once the main window
// has been painted, so that the window the user waits for is on the screen
// first and the splash stands over it while the rest is built. The main
// window's table of tool windows makes them at once if it is asked before
// then; a main window that is not painted soon (started minimised) gets them
// anyway.
class AfterFirstPaint final : public QObject {
public:
    explicit AfterFirstPaint(QWidget* window) : QObject(window) {
        window->installEventFilter(this);
        QTimer::singleShot(kLatest, this, &AfterFirstPaint::create);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After the paint has reached the screen, not within it.
            QMetaObject::invokeMethod(this, &AfterFirstPaint::create, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static constexpr int kLatest = 1000;

    void create() {
        ShowSplash();
        CreateToolForms();
        deleteLater();
    }
};

}  // namespace

void CreateToolFormsAfterFirstPaint(QWidget* window) { new AfterFirstPaint(window); }

namespace {

std::shared_future<void>& FontConfigurationRead() {
    static std::shared_future<void> read;
    return read;
}

}  // namespace

void StartReadingFontConfiguration() {
    std::shared_future<void>& read = FontConfigurationRead();
    if (!read.valid()) read = std::async(std::launch::async, [] { FcInit(); }).share();
}

void WaitForFontConfiguration() {
    if (const std::shared_future<void>& read = FontConfigurationRead(); read.valid()) read.wait();
}

StartupAction DecideStartup(bool found, int parameterCount) {
    if (!found) return StartupAction::StartNormal;
    return parameterCount > 0 ? StartupAction::CloseThenStart : StartupAction::NotifyAndExit;
}

bool ClaimInstance(InstanceServer& channel, int parameterCount) {
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        std::unique_ptr<RunningInstance> running = RunningInstance::find(kInstanceKey);
        const StartupAction action = DecideStartup(running != nullptr, parameterCount);
        if (action != StartupAction::StartNormal) {
            const bool closing = running->send(action == StartupAction::CloseThenStart ? WM_CLOSE : WM_QUERYOPEN);
            running.reset();
            // An instance that was ending anyway (a restart after an error)
            // answers nothing; this start takes its place.
            if (!closing && RunningInstance::find(kInstanceKey)) return false;
        }
        // Only one process can listen under the key; losing it means another
        // start came first, and that one is the running instance now.
        if (channel.listen(kInstanceKey, 0)) return true;
    }
    std::fprintf(stderr, "Another start of the program keeps taking this library; this one ends.\n");
    return false;
}

bool HandleInstanceMessage(std::uint8_t message) {
    if (message == WM_QUERYOPEN) BringToFront();
    if (message != WM_CLOSE || !fm_main) return false;
    return fm_main->close();
}

void SweepLeftovers() {
    for (std::string_view prefix : {kAudioCdCachePrefix, kAudioCdDrivePrefix})
        RemoveAbandonedTemporaryFolders(TemporaryFolder(), prefix);
    RemoveAbandonedImageParts(CdImageFolder());
    RemoveIfAbandoned(Tfm_burner::DataCdStagingFolder());
}

void SetUpApplication(QApplication& app) {
    // Every window of the program, the main one too, not only those that
    // the tool skin dresses.
    KeepAltLettersOutOfText();
    IgnoreFileSizeSignal();
    app.setQuitOnLastWindowClosed(false);
    CreateFolderPath(DataRoot());
}

void ShowSplash() {
    new Tfm_cover;
    fm_cover->show();
    fm_cover->repaint();
    // The splash is meant to be seen while the windows are built.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int RunProgram(QApplication& app) {
    const int parameterCount = static_cast<int>(QCoreApplication::arguments().size()) - 1;
    // The channel is taken before anything else, so a start that comes while
    // this one builds its windows finds it and ends rather than start beside
    // it.
    InstanceServer channel(HandleInstanceMessage);
    if (!ClaimInstance(channel, parameterCount)) return 0;

    // The main window's words wait for Qt's font database, which lists the
    // fonts of the configuration read since the start; it is filled on a
    // thread while the main window is made. It needs the application object.
    const std::jthread fonts([] {
        WaitForFontConfiguration();
        QFontDatabase::families();
    });
    // The first window shown or disabled starts the screen-reader bridge,
    // which waits for the session bus; without a bus the connection tries to
    // launch one, which takes longer than making the main window. It is made
    // here on a thread while the main window is built.
    const std::jthread bus([] { QDBusConnection::sessionBus(); });
    // The main window's menu bar reads Qt's pictures for its overflow
    // button, and finding a reader for them loads every image format
    // plug-in; they are loaded here on a thread instead.
    const std::jthread readers([] { QImageReader::supportedImageFormats(); });
    // This process owns the library now: nobody else writes its tree file.
    TrackLibrary(DataFolder(), PlaylistFolder()).prefetchTree();
    // Hundreds of megabytes may go; the windows are built meanwhile.
    std::thread sweep(SweepLeftovers);
    skin::prepareGlyphs();
    SetUpApplication(app);
    LogInputRefusedWhileModal();
    WaitForFontConfiguration();
    CreateMainForm();
    CreateToolFormsAfterFirstPaint(fm_main);

    fm_main->Skin->takeFrameBeforeShow(fm_main);
    fm_main->show();
    // Its form show, which uses them, runs on the loop's first turn.
    CreateLibraryForms();
    const int rc = app.exec();
    channel.close();
    DestroyForms();
    RemoveOwnTemporaryFolders();
    sweep.join();
    return rc;
}

#include "library/startup.h"

#include <QApplication>
#include <QPointer>

#include "library/cover.h"
#include "library/forms.h"
#include "library/main.h"
#include "platform/instancechannel.h"
#include "platform/paths.h"

QString ApplicationTitle;

StartupAction DecideStartup(bool found, int parameterCount) {
    if (!found) return StartupAction::StartNormal;
    return parameterCount > 0 ? StartupAction::CloseThenStart : StartupAction::NotifyAndExit;
}

QString StartupTitle(StartupAction action) {
    return action == StartupAction::CloseThenStart ? kSearchedTitle : kNormalTitle;
}

namespace {

// Messages from a later start. A close goes through the main window's own
// close path, with its question; the channel stops being found only when
// the window really closed.
bool HandleInstanceMessage(std::uint8_t message) {
    if (message != WM_CLOSE || !fm_main) return false;
    return fm_main->close();
}

}  // namespace

int RunProgram(QApplication& app) {
    const int parameterCount = static_cast<int>(QCoreApplication::arguments().size()) - 1;
    std::unique_ptr<RunningInstance> running = RunningInstance::find(kSearchedTitle);
    const StartupAction action = DecideStartup(running != nullptr, parameterCount);
    if (action == StartupAction::NotifyAndExit) {
        running->send(WM_QUERYOPEN);
        return 0;
    }
    if (action == StartupAction::CloseThenStart) {
        running->send(WM_CLOSE);
        running.reset();
    }

    app.setQuitOnLastWindowClosed(false);
    CreateFolderPath(DataRoot());

    new Tfm_cover;
    fm_cover->show();
    fm_cover->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    ApplicationTitle = StartupTitle(action);
    // Lets the tests start an instance that a later start will find.
    if (const QByteArray forced = qgetenv("TUNEVALE_APPLICATION_TITLE"); !forced.isEmpty())
        ApplicationTitle = QString::fromUtf8(forced);

    CreateForms();
    InstanceServer channel(HandleInstanceMessage);
    channel.listen(ApplicationTitle);

    fm_main->show();
    const int rc = app.exec();
    channel.close();
    if (fm_cover) delete fm_cover;
    DestroyForms();
    return rc;
}

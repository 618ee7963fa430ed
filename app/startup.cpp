#include "app/startup.h"

#include <QApplication>

#include "library/cover.h"
#include "app/forms.h"
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

bool HandleInstanceMessage(std::uint8_t message) {
    if (message != WM_CLOSE || !fm_main) return false;
    return fm_main->close();
}

void SetUpApplication(QApplication& app) {
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

    SetUpApplication(app);
    ShowSplash();

    ApplicationTitle = StartupTitle(action);
    // Lets the tests start an instance that a later start will find.
    if (const QByteArray forced = qgetenv("TUNEVALE_APPLICATION_TITLE"); !forced.isEmpty())
        ApplicationTitle = QString::fromUtf8(forced);

    CreateForms();
    InstanceServer channel(HandleInstanceMessage);
    channel.listen(ApplicationTitle);

    fm_main->show();
    // The splash stays in front until its timer closes it.
    if (fm_cover) fm_cover->raise();
    const int rc = app.exec();
    channel.close();
    if (fm_cover) delete fm_cover;
    DestroyForms();
    return rc;
}

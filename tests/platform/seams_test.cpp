#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <atomic>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/fakes.h"
#include "platform/filedialogs.h"
#include "platform/framelesswindow.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/modalguard.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "pumpevents.h"
#include "testenv.h"

namespace {

TEST(MessageBoxes, TitlesAndButtonsOfTheThreeKinds) {
    FakeMessageBoxes boxes;
    boxes.answerNext(MessageAnswer::Ok);
    boxes.answerNext(MessageAnswer::No);
    ShowInformation("Found 3 files!");
    EXPECT_FALSE(AskConfirmation("Are you sure to quit?"));
    EXPECT_TRUE(AskConfirmation("Again?"));
    ShowError("Cannot open file x");
    ASSERT_EQ(boxes.requests().size(), 4u);
    EXPECT_EQ(boxes.titles(), (QStringList{"Information", "Confirmation", "Confirmation", "Error"}));
    EXPECT_EQ(boxes.requests()[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes.requests()[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes.requests()[1].text, "Are you sure to quit?");
    EXPECT_EQ(boxes.requests()[3].kind, MessageKind::Error);
}

// A worker asks through its job's handler; a box asked for on a worker
// would wait for a GUI thread that may be waiting for the worker.
TEST(MessageBoxes, AWorkerThreadGetsNoBoxAndCancelWithoutWaiting) {
    FakeMessageBoxes boxes;
    std::atomic<bool> asked{false};
    boxes.setHandler([&](const MessageRequest&) {
        asked = true;
        return MessageAnswer::Yes;
    });
    std::atomic<int> answer{-1};
    // The GUI thread does not run its events meanwhile: the worker must
    // return on its own.
    std::thread worker([&] { answer = AskConfirmation("File write error! Continue?") ? 1 : 0; });
    worker.join();
    EXPECT_EQ(answer, 0);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(boxes.requests().empty());
}

TEST(MessageBoxes, RealBoxesReturnWhenTheSeamIsRemoved) {
    { FakeMessageBoxes boxes; }
    // The fake put the real boxes back; answer the real one by closing it.
    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Confirmation") w->close();
    });
    EXPECT_FALSE(AskConfirmation("Closed without an answer"));
}

TEST(FileDialogs, FiltersBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls"),
              (QStringList{"m3u files(*.m3u) (*.m3u)", "pls files(*.pls) (*.pls)"}));
    EXPECT_EQ(QtNameFilters("All Supported Formats (*.mp3,*.wav)|*.mp3;*.wav|MP3 Files (*.mp3)|*.mp3"),
              (QStringList{"All Supported Formats (*.mp3,*.wav) (*.mp3 *.wav)", "MP3 Files (*.mp3) (*.mp3)"}));
    EXPECT_EQ(QtNameFilters("All Supported Files (*.*)|*.*"), (QStringList{"All Supported Files (*.*) (*)"}));
    EXPECT_EQ(QtNameFilters("Lonely"), (QStringList{"Lonely (*)"}));
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

// The windows ask their own question before a file is replaced; the real
// save dialog asks none of its own unless told to.
TEST(FileDialogs, RealSaveDialogLeavesTheOverwriteQuestionToTheWindow) {
    for (const bool confirm : {false, true}) {
        std::optional<bool> asks;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                    asks = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                    dialog->reject();
                    poll.stop();
                }
        });
        poll.start(20);
        FileDialogRequest request;
        request.mode = FileDialogMode::Save;
        request.confirmOverwrite = confirm;
        EXPECT_FALSE(RunFileDialog(request).accepted);
        EXPECT_EQ(asks, confirm);
    }
}

// The real launcher on a PATH of our own: the desktop's opener that finds no
// program for a document, one that opens it, and none at all.
TEST(Launcher, RealOneReportsWhenNothingCouldOpen) {
    const std::string dir = testenv::makeTempDir("opener");
    const QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER");
    qputenv("PATH", QByteArray::fromStdString(dir));
    qunsetenv("BROWSER");
    const QUrl help = QUrl::fromLocalFile(QString::fromStdString(dir + "/help.html"));
    for (const auto& [exitCode, opened] : {std::pair{3, false}, std::pair{0, true}}) {
        testenv::writeFile(dir + "/xdg-open", "#!/bin/sh\nexit " + std::to_string(exitCode) + "\n");
        ::chmod((dir + "/xdg-open").c_str(), 0755);
        EXPECT_EQ(OpenUrl(help), opened) << exitCode;
    }
    ::unlink((dir + "/xdg-open").c_str());
    EXPECT_FALSE(OpenUrl(help));
    qputenv("PATH", path);
    if (!browser.isNull()) qputenv("BROWSER", browser);
}

TEST(Presenter, RealModalWaitsUntilTheWindowClosesAndGivesADialogsResult) {
    QWidget window;
    bool shownDuringLoop = false;
    QTimer::singleShot(50, [&] {
        shownDuringLoop = window.isVisible() && window.isModal();
        window.close();
    });
    EXPECT_EQ(ShowModal(&window), 0);
    EXPECT_TRUE(shownDuringLoop);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isModal()) << "the modality must not stick to a window later shown modeless";

    QDialog dialog;
    QTimer::singleShot(50, &dialog, &QDialog::accept);
    EXPECT_EQ(ShowModal(&dialog), QDialog::Accepted);
}

// A window opened over another is kept above it (its transient parent) at
// every show, and one opened while a window of the program is kept on top
// is kept on top too; so is a real message box then.
TEST(Presenter, WhatOpensStaysAboveItsOpenerAndAWindowKeptOnTop) {
    QWidget opener;
    opener.show();
    QDialog tool;
    CentreOver(&tool, &opener);
    ShowModeless(&tool);
    ASSERT_TRUE(tool.windowHandle());
    EXPECT_EQ(tool.windowHandle()->transientParent(), opener.windowHandle());
    EXPECT_FALSE(tool.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    tool.hide();

    QWidget onTop(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    onTop.show();
    ShowModeless(&tool);
    EXPECT_TRUE(tool.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(tool.windowHandle()->transientParent(), opener.windowHandle()) << "kept after the window was made anew";

    bool boxOnTop = false;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Confirmation") {
                boxOnTop = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                w->close();
            }
    });
    AskConfirmation("Over the window kept on top?", &opener);
    EXPECT_TRUE(boxOnTop);
    // So is a file dialog.
    bool dialogOnTop = false;
    QTimer::singleShot(50, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogOnTop = dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            dialog->reject();
        }
    });
    FileDialogRequest request;
    request.parent = &opener;
    RunFileDialog(request);
    EXPECT_TRUE(dialogOnTop);

    onTop.hide();
    tool.hide();
    ShowModeless(&tool);
    EXPECT_FALSE(tool.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(UserFolders, StoredWindowsFoldersFallBack) {
    EXPECT_EQ(StoredFolderOr("c:\\music", MusicFolder()), MusicFolder());
    EXPECT_EQ(StoredFolderOr("", "/x"), "/x");
    EXPECT_EQ(StoredFolderOr("/srv/music", "/x"), "/srv/music");
    EXPECT_EQ(RipOutputFolder(), MusicFolder() + "/mp3");
}

}  // namespace

namespace {

// The log lines of the tunevale.modal category while it lives.
class ModalLog {
public:
    ModalLog() { previous_ = qInstallMessageHandler(&ModalLog::take); }
    ~ModalLog() { qInstallMessageHandler(previous_); lines().clear(); }
    static QStringList& lines() {
        static QStringList taken;
        return taken;
    }

private:
    static void take(QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (context.category && QByteArray(context.category) == "tunevale.modal") lines() << text;
    }
    QtMessageHandler previous_ = nullptr;
};

}  // namespace

// While a modal window is up, the window under it opens no dialog of its
// own (its loop would run inside the modal one's); what the modal window
// itself opens runs. Every refusal is logged with the widget that blocks.
TEST(Presenter, AWindowUnderAModalOneOpensNoDialog) {
    QWidget opener;
    opener.setWindowTitle("Opener");
    opener.show();

    QDialog tool;
    QDialog box;
    box.setWindowTitle("Box");
    QDialog inner;
    FakeFileDialogs dialogs;
    ModalLog log;
    int toolResult = -1, innerResult = -1;
    // A popup takes its keys whatever is modal: a list opened by a field.
    QWidget popup(nullptr, Qt::Popup);
    bool popupBlocked = true;
    FileDialogResult chosen;
    chosen.accepted = true;
    QTimer::singleShot(20, &box, [&] {
        CentreOver(&tool, &opener);
        QTimer::singleShot(20, &tool, &QDialog::accept);
        toolResult = ShowModal(&tool);
        FileDialogRequest request;
        request.parent = &opener;
        chosen = RunFileDialog(request);
        popupBlocked = ModalBlocking(&popup) != nullptr;
        CentreOver(&inner, &box);
        QTimer::singleShot(20, &inner, &QDialog::accept);
        innerResult = ShowModal(&inner);
        box.reject();
    });
    CentreOver(&box, &opener);
    ShowModal(&box);
    EXPECT_EQ(toolResult, QDialog::Rejected);
    EXPECT_FALSE(tool.isVisible());
    EXPECT_FALSE(chosen.accepted);
    EXPECT_TRUE(dialogs.requests().empty());
    EXPECT_EQ(innerResult, QDialog::Accepted);
    EXPECT_FALSE(popupBlocked);
    ASSERT_EQ(log.lines().size(), 2) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.lines()[0].startsWith("modal show for QDialog (hidden) refused: modal widget QDialog \"Box\""))
        << log.lines()[0].toStdString();
    EXPECT_TRUE(log.lines()[1].startsWith("file dialog for QWidget \"Opener\" refused"))
        << log.lines()[1].toStdString();

    // With the modal window gone, the opener opens dialogs again.
    QTimer::singleShot(20, &tool, &QDialog::accept);
    EXPECT_EQ(ShowModal(&tool), QDialog::Accepted);
}

// A new frame for a modal window that shows would hide and show it again,
// which ended its loop at once and left it modal after its close, hidden,
// blocking every other window for good. Its frame stays as it is.
TEST(Presenter, AModalWindowKeepsItsFrameWhileItShowsAndLeavesNothingModal) {
    QDialog dialog;
    const Qt::WindowFlags before = dialog.windowFlags();
    bool shownAfterTheChange = false;
    QTimer::singleShot(20, &dialog, [&] {
        SetFlagsKeepingPlace(&dialog, FramelessFlags(before));
        shownAfterTheChange = dialog.isVisible();
    });
    QTimer::singleShot(100, &dialog, &QDialog::accept);
    EXPECT_EQ(ShowModal(&dialog), QDialog::Accepted) << "the loop ran until the window closed";
    EXPECT_TRUE(shownAfterTheChange);
    EXPECT_EQ(dialog.windowFlags(), before);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);

    // Hidden, it takes the new frame.
    SetFlagsKeepingPlace(&dialog, FramelessFlags(before));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
}

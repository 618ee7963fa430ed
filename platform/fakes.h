#pragma once
// Stand-ins for the desktop seams, for tests. Each installs itself when made
// and puts the real one back when destroyed, and records what the code under
// test asked for.

#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

#include "platform/filedialogs.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/presenter.h"

class QWidget;

// Answers message boxes from a script: queued answers first, then the
// handler when one is set, else the affirmative button (Yes or OK).
class FakeMessageBoxes final : public MessageBoxes {
public:
    FakeMessageBoxes();
    ~FakeMessageBoxes() override;
    FakeMessageBoxes(const FakeMessageBoxes&) = delete;
    FakeMessageBoxes& operator=(const FakeMessageBoxes&) = delete;

    void answerNext(MessageAnswer answer) { queued_.push_back(answer); }
    void setHandler(std::function<MessageAnswer(const MessageRequest&)> handler) { handler_ = std::move(handler); }

    const std::vector<MessageRequest>& requests() const { return requests_; }
    QStringList texts() const;
    QStringList titles() const;
    void clear() { requests_.clear(); }

    MessageAnswer show(const MessageRequest& request) override;

private:
    std::deque<MessageAnswer> queued_;
    std::function<MessageAnswer(const MessageRequest&)> handler_;
    std::vector<MessageRequest> requests_;
};

// Answers file dialogs from a script; an unscripted dialog is cancelled.
class FakeFileDialogs final : public FileDialogs {
public:
    FakeFileDialogs();
    ~FakeFileDialogs() override;
    FakeFileDialogs(const FakeFileDialogs&) = delete;
    FakeFileDialogs& operator=(const FakeFileDialogs&) = delete;

    // The next dialog returns these files (accepted), with the filter index.
    void chooseNext(const QStringList& files, int filterIndex = 1);
    void cancelNext();

    const std::vector<FileDialogRequest>& requests() const { return requests_; }
    FileDialogResult run(const FileDialogRequest& request) override;

private:
    std::deque<FileDialogResult> queued_;
    std::vector<FileDialogRequest> requests_;
};

// Records what would have been opened or started; nothing leaves the test.
class FakeLauncher final : public Launcher {
public:
    struct Started {
        QString program;
        QStringList arguments;
    };

    FakeLauncher();
    ~FakeLauncher() override;
    FakeLauncher(const FakeLauncher&) = delete;
    FakeLauncher& operator=(const FakeLauncher&) = delete;

    void setResult(bool ok) { result_ = ok; }
    const std::vector<QUrl>& openedUrls() const { return urls_; }
    const std::vector<Started>& started() const { return started_; }

    bool openUrl(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;

private:
    bool result_ = true;
    std::vector<QUrl> urls_;
    std::vector<Started> started_;
};

// Records which windows were shown. A modal window runs no loop: the handler
// (when set) acts in it and gives the result, else it is rejected at once.
// Modeless windows are really shown.
class FakeWindowPresenter final : public WindowPresenter {
public:
    struct Shown {
        QPointer<QWidget> window;
        bool modal = false;
    };

    FakeWindowPresenter();
    ~FakeWindowPresenter() override;
    FakeWindowPresenter(const FakeWindowPresenter&) = delete;
    FakeWindowPresenter& operator=(const FakeWindowPresenter&) = delete;

    void setModalHandler(std::function<int(QWidget*)> handler) { modalHandler_ = std::move(handler); }
    const std::vector<Shown>& shown() const { return shown_; }
    // The last window shown, or nullptr.
    QWidget* last() const { return shown_.empty() ? nullptr : shown_.back().window.data(); }

    int showModal(QWidget* window) override;
    void showModeless(QWidget* window) override;

private:
    std::function<int(QWidget*)> modalHandler_;
    std::vector<Shown> shown_;
};

#include "platform/fakes.h"

#include <QDialog>
#include <QWidget>

FakeMessageBoxes::FakeMessageBoxes() { InstallMessageBoxes(this); }

FakeMessageBoxes::~FakeMessageBoxes() { InstallMessageBoxes(nullptr); }

QStringList FakeMessageBoxes::texts() const {
    QStringList out;
    for (const auto& r : requests_) out << r.text;
    return out;
}

QStringList FakeMessageBoxes::titles() const {
    QStringList out;
    for (const auto& r : requests_) out << r.title;
    return out;
}

MessageAnswer FakeMessageBoxes::show(const MessageRequest& request) {
    requests_.push_back(request);
    if (!queued_.empty()) {
        MessageAnswer a = queued_.front();
        queued_.pop_front();
        return a;
    }
    if (handler_) return handler_(request);
    switch (request.buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel: return MessageAnswer::Yes;
    default: return MessageAnswer::Ok;
    }
}

FakeFileDialogs::FakeFileDialogs() { InstallFileDialogs(this); }

FakeFileDialogs::~FakeFileDialogs() { InstallFileDialogs(nullptr); }

void FakeFileDialogs::chooseNext(const QStringList& files, int filterIndex) {
    queued_.push_back({true, files, filterIndex});
}

void FakeFileDialogs::cancelNext() { queued_.push_back({}); }

FileDialogResult FakeFileDialogs::run(const FileDialogRequest& request) {
    requests_.push_back(request);
    if (queued_.empty()) return {false, {}, request.filterIndex};
    FileDialogResult r = queued_.front();
    queued_.pop_front();
    return r;
}

FakeLauncher::FakeLauncher() { InstallLauncher(this); }

FakeLauncher::~FakeLauncher() { InstallLauncher(nullptr); }

bool FakeLauncher::openUrl(const QUrl& url) {
    urls_.push_back(url);
    return result_;
}

bool FakeLauncher::startDetached(const QString& program, const QStringList& arguments) {
    started_.push_back({program, arguments});
    return result_;
}

FakeWindowPresenter::FakeWindowPresenter() { InstallWindowPresenter(this); }

FakeWindowPresenter::~FakeWindowPresenter() { InstallWindowPresenter(nullptr); }

int FakeWindowPresenter::showModal(QWidget* window) {
    shown_.push_back({window, true});
    if (modalHandler_) return modalHandler_(window);
    return QDialog::Rejected;
}

void FakeWindowPresenter::showModeless(QWidget* window) {
    shown_.push_back({window, false});
    window->show();
}

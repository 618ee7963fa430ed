#include "windowkit/toolwindow.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

#include "components/audio/audiofile.h"
#include "jobs/encodertables.h"
#include "platform/texthelpers.h"
#include "platform/filedialogs.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/userfolders.h"
#include "jobs/toolfiles.h"

namespace {
constexpr int kDurationRole = Qt::UserRole;
}

QPushButton* ToolButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

void Enable(QPushButton* button, QAction* item, bool on) {
    if (button) button->setEnabled(on);
    if (item) item->setEnabled(on);
}

QTableWidget* FileList(QWidget* parent, const char* name, const QStringList& headers,
                       QAbstractItemView::SelectionMode selection) {
    auto* list = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    list->setObjectName(QLatin1String(name));
    list->setHorizontalHeaderLabels(headers);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->horizontalHeader()->setSectionsClickable(false);
    list->horizontalHeader()->setStretchLastSection(true);
    list->setColumnWidth(NameColumn, 140);
    list->setColumnWidth(PathColumn, 170);
    list->setColumnWidth(SizeColumn, 70);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(selection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    return list;
}

void AppendFileRow(QTableWidget* list, const QString& path, qint64 ms) {
    const QFileInfo info(path);
    const int row = list->rowCount();
    list->insertRow(row);
    const QString cells[] = {info.fileName(), path, FileSizeText(info.size()), TimeText(ms)};
    for (int c = 0; c < 4; ++c) list->setItem(row, c, new QTableWidgetItem(cells[c]));
    list->item(row, TimeColumn)->setData(kDurationRole, ms);
}

qint64 RowDurationMs(const QTableWidget* list, int row) {
    return list->item(row, TimeColumn)->data(kDurationRole).toLongLong();
}

qint64 AddAudioRows(QTableWidget* list, const QStringList& files, QWidget* parent,
                    const std::function<bool(const QString& path)>& unreadable) {
    qint64 added = 0;
    for (const QString& path : files) {
        const QFileInfo info(path);
        if (!NameTaken(path)) {
            ShowInformation(path + QStringLiteral(" has been removed!"), parent);
            continue;
        }
        if (info.isDir()) continue;
        AudioFile reader;
        if (!reader.open(LocalPathString(path), 0, 1)) {
            if (!unreadable(path)) break;
            continue;
        }
        AppendFileRow(list, path, reader.getDuration());
        added += reader.getDuration();
    }
    return added;
}

QString TimeText(qint64 ms) { return QString::fromStdString(FormatPlayTime(ms)); }

QStringList ChooseAudioFiles(QWidget* parent, const QString& title, const char* section, const QString& filter) {
    IniFile ini;
    FileDialogRequest request;
    request.mode = FileDialogMode::OpenMany;
    request.title = title;
    request.folder =
        StoredFolderOr(QString::fromStdString(ini.readString(section, "add path", "")), DialogStartFolder());
    request.filter = !filter.isEmpty()
                         ? filter
                         : QStringLiteral("All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|*.mp3;*.wav;*.ogg;*.wma|"
                                          "MP3 Files (*.mp3)|*.mp3|WAV Files (*.wav)|*.wav|OGG Files (*.ogg)|*.ogg|"
                                          "WMA Files (*.wma)|*.wma");
    request.parent = parent;
    const FileDialogResult result = RunFileDialog(request);
    if (!result.accepted || result.files.isEmpty()) return {};
    ini.writeString(section, "add path", QFileInfo(result.files.first()).absolutePath().toStdString());
    return result.files;
}

void OfferMp3Bitrates(QComboBox* list, int sampleRate, const QString& suffix) {
    const int count = encodertables::AllowedMp3Bitrates(sampleRate);
    const int index = list->currentIndex();
    while (list->count() > count) list->removeItem(list->count() - 1);
    for (int i = list->count(); i < count; ++i)
        list->addItem(QString::number(encodertables::kMp3Bitrates[static_cast<size_t>(i)]) + suffix);
    SetIndexWithin(list, index);
}

void SetIndexWithin(QComboBox* list, int index) {
    if (list->count() > 0) list->setCurrentIndex(std::clamp(index, 0, list->count() - 1));
}

bool ConfirmClearList(QWidget* parent) {
    return AskConfirmation(QStringLiteral("Are you sure to remove all the file records?\n"
                                          "Your files will not be removed from your computer."),
                           parent);
}

bool BoxJobHandler::askYesNo(const QString& title, const QString& text) {
    MessageRequest request;
    request.kind = MessageKind::Confirmation;
    request.title = title;
    request.text = text;
    request.buttons = MessageButtons::YesNo;
    request.parent = parent_;
    return ShowMessage(request) == MessageAnswer::Yes;
}

void BoxJobHandler::tell(const QString& title, const QString& text) {
    MessageRequest request;
    request.kind = title == QLatin1String("Information") ? MessageKind::Information : MessageKind::Error;
    request.title = title;
    request.text = text;
    request.parent = parent_;
    ShowMessage(request);
}

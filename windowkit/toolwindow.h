#pragma once
// The pieces the cut and combine windows are built of: their buttons and
// menu items, the file list with its rows, the Add dialog that remembers its
// folder, and the message boxes through which their jobs ask.

#include <QAbstractItemView>
#include <QString>
#include <QStringList>

#include <functional>

#include "jobs/tooljob.h"

class QAction;
class QComboBox;
class QPushButton;
class QTableWidget;
class QWidget;

// The list's columns: name, full path, size, time.
enum FileListColumn { NameColumn, PathColumn, SizeColumn, TimeColumn };

QPushButton* ToolButton(QWidget* parent, const char* name, const QString& caption);
// A command's button and menu item go on and off together; either may be null.
void Enable(QPushButton* button, QAction* item, bool on);

// A read-only report list with grid lines and whole-row selection.
QTableWidget* FileList(QWidget* parent, const char* name, const QStringList& headers,
                       QAbstractItemView::SelectionMode selection);
// Appends a file's row: its name, path, size and length; the length in ms is
// kept with the time text.
void AppendFileRow(QTableWidget* list, const QString& path, qint64 ms);
qint64 RowDurationMs(const QTableWidget* list, int row);
// Appends a row for each file in turn: a missing file is reported (path +
// " has been removed!") and skipped, a folder skipped; a file that does not
// open as audio goes to unreadable, which answers whether the add goes on.
// Returns the length of the rows added, in ms.
qint64 AddAudioRows(QTableWidget* list, const QStringList& files, QWidget* parent,
                    const std::function<bool(const QString& path)>& unreadable);

// "hh:mm:ss" of a duration in ms.
QString TimeText(qint64 ms);

// The open dialog for several audio files: it starts in the folder kept
// under [section] "add path" and keeps the folder of the chosen files there.
// filter: the dialog's, "description|patterns|..." (empty: all four kinds
// and each on its own). Empty when cancelled.
QStringList ChooseAudioFiles(QWidget* parent, const QString& title, const char* section,
                             const QString& filter = {});

// Makes a bitrate list offer the MP3 bitrates that the sample rate allows,
// each followed by suffix. Its index stays, or becomes the highest allowed
// one, so that the bitrate shown is the one the writer uses.
void OfferMp3Bitrates(QComboBox* list, int sampleRate, const QString& suffix);
// Sets a list's index; one beyond its end chooses its last item.
void SetIndexWithin(QComboBox* list, int index);

// The question before a list is emptied.
bool ConfirmClearList(QWidget* parent);

// The jobs' questions and messages as message boxes over a window.
class BoxJobHandler : public JobHandler {
public:
    explicit BoxJobHandler(QWidget* parent) : parent_(parent) {}
    bool askYesNo(const QString& title, const QString& text) override;
    void tell(const QString& title, const QString& text) override;

private:
    QWidget* parent_;
};

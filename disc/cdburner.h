#pragma once
// Builds a data disc compilation and writes it. The compilation is mirrored
// in the private staging folder "burnquilltemp" under the data root: each
// tree folder is a real folder there and each added file a copy, so what
// lies there is what the writer puts on the disc. The folder is made when
// the window shows and removed when it closes.

#include <QDialog>

#include <memory>

#include "components/discwriter/datadiscwriter.h"
#include "disc/compilation.h"
#include "disc/compilationadder.h"
#include "disc/erase.h"
#include "platform/eventpump.h"

class QComboBox;
class TvsProgressBar;
class TvsTrackBar;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

class Tfm_burner : public QDialog, private CompilationView, private EraseSide {
    Q_OBJECT
public:
    explicit Tfm_burner(QWidget* parent = nullptr);
    ~Tfm_burner() override;

    QLineEdit* edt_id = nullptr;
    QComboBox* cb_writespeed = nullptr;
    QComboBox* cb_drive = nullptr;
    QLabel* StatusBar1 = nullptr;
    QTreeWidget* tv = nullptr;
    QTreeWidget* lv = nullptr;
    QLineEdit* edt_name = nullptr;
    QPushButton* btn_addfile = nullptr;
    QPushButton* btn_adddir = nullptr;
    QPushButton* btn_delete = nullptr;
    QPushButton* btn_clear = nullptr;
    TvsTrackBar* tb = nullptr;
    QPushButton* btn_write = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_close = nullptr;
    TvsProgressBar* prb_write = nullptr;
    QLabel* stbPanel0 = nullptr;
    QLabel* stbPanel1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QMenu* CDRecorder1 = nullptr;
    QMenu* pm_tv = nullptr;
    QMenu* pm_cd = nullptr;
    QAction* RemoveFileRecord1 = nullptr;
    QAction* RenameFile1 = nullptr;
    QAction* RenameFile2 = nullptr;
    QAction* RemoveFolder1 = nullptr;
    QAction* RemoveFolder2 = nullptr;
    QAction* RenameFolder1 = nullptr;
    QAction* RenameFolder2 = nullptr;
    QAction* TestWrite1 = nullptr;
    DataDiscWriter DataCDWriter;

    // Form fields the writer's events and the erase dialog share.
    bool WriterError = false;
    bool IsWriting = false;
    int ErasePercent = 0;
    bool ProgressSeen = false;
    bool LayoutSaved = true;
    bool PopupsEnabled = true;

    Compilation& compilation() { return compilation_; }
    CompilationAdder& adder() { return adder_; }
    static std::string DataCdStagingFolder();

    // The folder that adding and removing act on: the selected one, or the
    // root when none is.
    CompilationFolder* selectedFolder();
    void selectFolder(CompilationFolder* folder);

    // The window, the folders of the compilation and its files.
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void tvClick();
    void CreateNewFolder1Click();
    void RenameFolder1Click();
    void RemoveFolder1Click();
    void btn_deleteClick();
    void btn_clearClick();
    void btn_newClick();
    void lvDblClick();
    void RenameFile2Click();
    void edt_nameExit();
    void edt_idExit();
    void SetDataControlsEnabled(bool enabled);
    void MenuEnabling();
    // Adding: Add File, Add Path and drops.
    void btn_addfileClick();
    void Adddir1Click();
    void dropNames(const QStringList& names);
    // Writing, the recorder and its dialogs, and layout files.
    void btn_writeClick();
    void btn_cancelClick();
    void TestWrite1Click();
    void cb_driveClick();
    void Eject1Click();
    void CloseTray1Click();
    void Setting1Click();
    void DiscInformation1Click();
    void EraseDisc1Click();
    void btn_saveClick();
    void btn_openClick();
    void CycleWriterIndexes();
    void FillDataWriteSpeeds();
    void ResetDataWriterUi(bool compilationCleared);
    void DataCDWriterOperationProgress(int percent);
    void DataCDWriterError(int code);
    void DataCDWriterMediaChange();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window the one way, through its close handlers.
    void reject() override { close(); }
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // CompilationView
    void setStatus(const QString& text) override;
    void totalChanged() override;
    void pump() override;
    void rowAdded(int record, bool withTime) override;
    void rowChanged(int record, bool withTime) override;
    void foldersChanged() override;
    // EraseSide
    bool writerError() const override { return WriterError; }
    void setWriterError(bool on) override { WriterError = on; }
    int erasePercent() const override { return ErasePercent; }
    void setErasePercent(int percent) override { ErasePercent = percent; }
    bool progressSeen() const override { return ProgressSeen; }
    void setProgressSeen(bool on) override { ProgressSeen = on; }
    void setEraseStatus(const QString& text) override;
    void eraseDisc(bool quick) override { DataCDWriter.erase(quick); }
    void refreshWriter() override { DataCDWriter.refresh(); }
    void cycleWriterIndexes() override { CycleWriterIndexes(); }
    QString writerErrorReason() const override { return DataCDWriter.lastErrorText(); }
    EraseNotifier* eraseNotifier() override { return &eraseNotifier_; }

    void buildMenus();
    void rebuildTree(CompilationFolder* select);
    QTreeWidgetItem* itemOf(CompilationFolder* folder) const;
    void fillRow(QTreeWidgetItem* row, const CompilationFileRecord& record, bool withTime);
    void removeRows(bool onlySelected);
    void setMenusEnabled(bool enabled);
    void finishAdding(const QString& status);
    void beginAdding();
    // While files are added, staged or deleted: every command that writes,
    // erases, saves or changes the compilation is off, in buttons and menus
    // alike; Cancel is on only when the loop can be stopped.
    void setBusy(bool busy, bool cancellable);
    // No loop and no write runs, so a command may start.
    bool idle() const { return !busy_ && !IsWriting; }
    void loadLayoutFile(const QString& path);
    // Centres the size bar's labels under their ticks, which move with the
    // thumb's width the skin gives the bar.
    void placeSizeMarks();

    Compilation compilation_;
    CompilationAdder adder_;
    EraseNotifier eraseNotifier_;
    EventPump events_;
    bool busy_ = false;
    QTreeWidgetItem* renameRow_ = nullptr;
    QLabel* sizeMarks_[6] = {};
    int ListMouseX = 0;
    QString openFolder_, saveFolder_, listFolder_;
};

extern Tfm_burner* fm_burner;

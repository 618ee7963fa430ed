#pragma once
// The folder chooser that the tool windows share: a modal tree of the file
// system's folders. A caller may set the prompt line and offer the
// "Include Sub Directory" box, centres the chooser over itself, shows it
// modally and then reads SelectedFolder (empty when the user cancelled).

#include <QDialog>
#include <QString>

class QCheckBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;
class SkinLabel;

class Tfm_directory : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_directory(QWidget* parent = nullptr);

    QTreeView* stview_selectdir = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* Btn_cancel = nullptr;
    QCheckBox* cbx_sub = nullptr;  // hidden unless a caller shows it
    SkinLabel* sl_action = nullptr;

    // The folder chosen with OK; empty after Cancel or closing by the frame.
    QString SelectedFolder;
    // The box's state when OK was pressed.
    bool IncludeSubfolders = true;

    // Selects a folder in the tree (the start of the next choice).
    void selectFolder(const QString& path);
    // The folder the tree's selection names; empty when none.
    QString currentFolder() const;

    void btn_okClick();
    void Btn_cancelClick();
    void stview_selectdirClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void prepareTree() const;

    QFileSystemModel* model_ = nullptr;
    mutable bool treePrepared_ = false;
};

extern Tfm_directory* fm_directory;

// Centres the chooser over caller, shows it modally and returns the folder
// chosen; empty when the user cancelled.
QString ChooseFolder(QWidget* caller);

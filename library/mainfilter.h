#pragma once
// The library rescan window (captioned "Filter"): the user picks a folder,
// and OK adds every audio file of it and of its subfolders to the library of
// the main window, with their artist and album nodes and their rows in the
// list. Cancel, the window frame and Escape stop the walk before its next
// entry; however the window closes, the library tree is saved.
//
// The walk itself is LibraryRescan's; this window shows where it is and
// keeps the main window alive through the library loop of the main window.

#include <QDialog>
#include <QString>

#include <string>

#include "library/rescan.h"

class QFileSystemModel;
class QPushButton;
class QStatusBar;
class QTreeView;

class Tfm_dir : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_dir(QWidget* parent = nullptr);

    QTreeView* ShellTreeView1 = nullptr;
    QFileSystemModel* Folders = nullptr;  // the file system's folders, from "/"
    QPushButton* Button1 = nullptr;       // OK
    QPushButton* Button2 = nullptr;       // Cancel
    QStatusBar* StatusBar1 = nullptr;

    std::string ScanFolder;        // the folder chosen in the tree
    std::string ScanRecordFolder;  // the library's data folder
    // The walk, its count and its cancel flag, reset at each show.
    LibraryRescan Scan;
    int ScanCount() const { return Scan.count(); }
    bool ScanCancelled() const { return Scan.cancelled(); }

    void FormShow();
    // Takes the tree's current folder as the one to scan when it can be read.
    void ShellTreeView1Click();
    void Button1Click();
    void Button2Click();
    bool FormCloseQuery();

protected:
    void showEvent(QShowEvent* event) override;
    // Escape and the window frame end here too (QDialog closes through it).
    void reject() override;

private:
    void showHome();

    bool scanning_ = false;
    bool placingHome_ = false;
    QString homeInView_;  // put in view until the folder holding it is listed and sorted
    bool homeParentListed_ = false;
};

extern Tfm_dir* fm_dir;

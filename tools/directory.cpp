#include "tools/directory.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "components/skin/skinlabel.h"
#include "platform/inifile.h"
#include "platform/presenter.h"
#include "windowkit/toolskin.h"

Tfm_directory* fm_directory = nullptr;

Tfm_directory::Tfm_directory(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Directory"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    sl_action = new SkinLabel(this);
    sl_action->setObjectName(QStringLiteral("sl_action"));

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives | QDir::Hidden);
    // The listing starts at the first show (see showEvent), not at start-up.

    stview_selectdir = new QTreeView(this);
    stview_selectdir->setObjectName(QStringLiteral("stview_selectdir"));
    stview_selectdir->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) stview_selectdir->hideColumn(c);
    stview_selectdir->header()->hide();
    stview_selectdir->setSelectionMode(QAbstractItemView::SingleSelection);

    cbx_sub = new QCheckBox(QStringLiteral("Include Sub Directory"), this);
    cbx_sub->setObjectName(QStringLiteral("cbx_sub"));
    cbx_sub->setChecked(true);
    cbx_sub->hide();

    btn_ok = new QPushButton(QStringLiteral("OK"), this);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    Btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Btn_cancel->setObjectName(QStringLiteral("Btn_cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbx_sub);
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(Btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sl_action);
    layout->addWidget(stview_selectdir, 1);
    layout->addLayout(buttons);

    // Its size from the start, so that callers centre it right before it shows.
    resize(310, 298);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_directory::btn_okClick);
    connect(Btn_cancel, &QPushButton::clicked, this, &Tfm_directory::Btn_cancelClick);
    connect(stview_selectdir->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Tfm_directory::stview_selectdirClick);
}

// The model's first look-up takes longer than building any other window of
// the program, so it waits until the chooser is used.
void Tfm_directory::prepareTree() const {
    if (treePrepared_) return;
    treePrepared_ = true;
    stview_selectdir->setRootIndex(model_->index(QDir::rootPath()));
    const QModelIndex home = model_->index(QDir::homePath());
    if (!home.isValid()) return;
    stview_selectdir->setCurrentIndex(home);
    stview_selectdir->scrollTo(home);
}

void Tfm_directory::selectFolder(const QString& path) {
    prepareTree();
    const QModelIndex index = model_->index(path);
    if (!index.isValid()) return;
    stview_selectdir->setCurrentIndex(index);
    stview_selectdir->scrollTo(index);
    stview_selectdirClick();
}

QString Tfm_directory::currentFolder() const {
    prepareTree();
    const QModelIndex index = stview_selectdir->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

void Tfm_directory::showEvent(QShowEvent* event) {
    prepareTree();
    if (model_->rootPath() != QDir::rootPath()) model_->setRootPath(QDir::rootPath());
    resize(310, 298);
    DressToolWindow(this);
    cbx_sub->setChecked(IniFile().readBool("Basic", "subdir", true));
    stview_selectdirClick();
    QDialog::showEvent(event);
}

// Only what names a folder here can be chosen.
void Tfm_directory::stview_selectdirClick() {
    const QString folder = currentFolder();
    btn_ok->setEnabled(!folder.isEmpty() && QFileInfo(folder).isDir());
}

void Tfm_directory::btn_okClick() {
    SelectedFolder = currentFolder();
    IncludeSubfolders = cbx_sub->isChecked();
    IniFile().writeBool("Basic", "subdir", IncludeSubfolders);
    accept();
}

void Tfm_directory::Btn_cancelClick() { reject(); }

// Every way out but OK, the frame's close box and Escape included, is a
// Cancel: a caller never mistakes the folder of an earlier choice for this one.
void Tfm_directory::done(int result) {
    if (result != Accepted) SelectedFolder.clear();
    cbx_sub->hide();
    QDialog::done(result);
}

QString ChooseFolder(QWidget* caller) {
    if (!fm_directory) fm_directory = new Tfm_directory;
    CentreOver(fm_directory, caller);
    return ShowModal(fm_directory) == QDialog::Accepted ? fm_directory->SelectedFolder : QString();
}

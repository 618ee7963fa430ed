#include "library/mainfilter.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "components/skin/skinengine.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/paths.h"
#include "platform/userfolders.h"
#include "skin/uistyle.h"

Tfm_dir* fm_dir = nullptr;

namespace {

constexpr int kWidth = 306;
constexpr int kHeight = 276;

QString WithSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

Tfm_dir::Tfm_dir(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Filter"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);

    Folders = new QFileSystemModel(this);
    Folders->setOption(QFileSystemModel::DontWatchForChanges);
    Folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    // The listing of "/" starts when the window is first shown: every
    // window is made at start-up, and the listing would delay the main one.

    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setModel(Folders);
    for (int column = 1; column < Folders->columnCount(); ++column) ShellTreeView1->hideColumn(column);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(ShellTreeView1, &QTreeView::clicked, this, [this] { ShellTreeView1Click(); });
    // The folders are listed and sorted in the background: the home folder
    // is put in view again each time a folder on its way is listed and each
    // time the rows are sorted, until the folder holding it is listed.
    connect(Folders, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        if (homeInView_.isEmpty() || !(homeInView_ + QLatin1Char('/')).startsWith(WithSlash(folder))) return;
        homeParentListed_ = homeParentListed_ || QDir::cleanPath(folder) == QFileInfo(homeInView_).path();
        showHome();
    });
    connect(Folders, &QFileSystemModel::layoutChanged, this, [this] {
        if (homeInView_.isEmpty()) return;
        showHome();
        if (homeParentListed_) homeInView_.clear();
    });
    connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!placingHome_) ShellTreeView1Click();
    });
    // Once the user moves through the tree, the view is theirs.
    connect(ShellTreeView1, &QTreeView::pressed, this, [this] { homeInView_.clear(); });
    for (auto signal : {&QTreeView::expanded, &QTreeView::collapsed})
        connect(ShellTreeView1, signal, this, [this] {
            if (!placingHome_) homeInView_.clear();
        });
    connect(ShellTreeView1->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { homeInView_.clear(); });

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &Tfm_dir::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfm_dir::Button2Click);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setAutoFillBackground(true);

    Scan.onEntry = [this](const std::string& path) {
        StatusBar1->showMessage(QString::fromStdString(path));
        // A main window closed meanwhile waits for the walk: it ends here.
        if (fm_main->CloseAskedDuringLoop()) Scan.cancel();
        fm_main->PumpLibraryLoop();
    };
    Scan.onFile = [](const AddResult& result) { fm_main->TakeAddResult(result); };

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 0);
    column->addWidget(ShellTreeView1, 1);
    column->addLayout(buttons);
    column->addWidget(StatusBar1);
}

void Tfm_dir::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Folders->rootPath() != QStringLiteral("/")) Folders->setRootPath(QStringLiteral("/"));
    FormShow();
}

void Tfm_dir::FormShow() {
    setFixedSize(kWidth, kHeight);
    if (fm_main && fm_main->Skin) {
        fm_main->Skin->resetWindow(this);
        fm_main->Skin->applySkinSection(this, QStringLiteral("filter"));
    }
    Scan.reset();
    Button1->setEnabled(false);
    ScanRecordFolder = DataFolder();
    QPalette palette = StatusBar1->palette();
    palette.setColor(QPalette::Window, ColorFromBgr(IniFile().readInteger("basic", "skin", 1) == 2 ? 0xE7EBEF : 0xE5D9D4));
    StatusBar1->setPalette(palette);
    StatusBar1->clearMessage();

    homeInView_ = QDir::cleanPath(QString::fromStdString(HomeFolder()));
    homeParentListed_ = false;
    showHome();
    Button1->setEnabled(false);
}

// The home folder open and in view, as the place a user's music most likely
// is; nothing is chosen until the user picks a folder.
void Tfm_dir::showHome() {
    placingHome_ = true;
    const QModelIndex home = Folders->index(homeInView_);
    for (QModelIndex at = home; at.isValid(); at = at.parent()) ShellTreeView1->expand(at);
    ShellTreeView1->scrollTo(home, QAbstractItemView::PositionAtTop);
    ShellTreeView1->selectionModel()->setCurrentIndex(home, QItemSelectionModel::NoUpdate);
    placingHome_ = false;
}

void Tfm_dir::ShellTreeView1Click() {
    homeInView_.clear();
    const QModelIndex index = ShellTreeView1->currentIndex();
    const QFileInfo folder(Folders->filePath(index));
    const bool usable = index.isValid() && folder.isDir() && folder.isReadable() && folder.isExecutable();
    // A walk under way keeps OK off: a second one would start inside it.
    Button1->setEnabled(usable && !scanning_);
    if (usable) ScanFolder = folder.absoluteFilePath().toStdString();
}

void Tfm_dir::Button1Click() {
    if (scanning_ || ScanFolder.empty() || !fm_main || !fm_main->BeginLibraryLoop()) return;
    scanning_ = true;
    Button1->setEnabled(false);
    // A library file deleted behind our back is made again rather than
    // leaving every record of the scan unwritten.
    fm_main->Library.ensureMusicFile();
    Scan.run(fm_main->Library, ScanFolder);
    fm_main->EndLibraryLoop();
    scanning_ = false;
    Button1->setEnabled(true);

    ShowInformation(QStringLiteral("Found %1 files!").arg(Scan.count()), this);
    fm_main->TreeView1->RefreshTreeImages();
    fm_main->TreeView1->viewport()->update();
    // Every scan ends with the tree saved: by the close, or again when
    // Cancel or the frame closed the window already.
    if (isVisible()) close();
    else FormCloseQuery();
    // The files that could not be read are named over the library, where
    // the user looks for them.
    fm_main->reportAddTally(Scan.tally());
    fm_main->CloseIfAskedDuringLoop();
}

void Tfm_dir::Button2Click() {
    Button1->setEnabled(!scanning_);
    Scan.cancel();
    close();
}

bool Tfm_dir::FormCloseQuery() {
    Scan.cancel();
    if (fm_main) fm_main->SaveLibraryTree();
    return true;
}

void Tfm_dir::reject() {
    FormCloseQuery();
    QDialog::reject();
}

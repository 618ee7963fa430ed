#include "library/id3.h"

#include "library/formcontrols.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <future>

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"
#include "library/librarytree.h"
#include "library/more.h"
#include "library/tageditorhost.h"
#include "library/tracklibrary.h"
#include "platform/eventpump.h"
#include "platform/messageboxes.h"
#include "skin/combobox.h"
#include "tags/mpeg/id3genres.h"

Tfm_Id3* fm_Id3 = nullptr;

namespace {

// With the spacing of the checks, the windows get their events at least every
// 30 ms while OK works.
constexpr int kPumpIntervalMs = 15;

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string Utf8(const QString& text) { return text.toStdString(); }

TvsComboBox* NewGenreList(QWidget* parent, const char* name) {
    auto* combo = new TvsComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setUIStyle(TvsUIStyle::DeepBlue);
    combo->setBorderColor(ColorFromBgr(11437686));
    combo->setArrowColor(ColorFromBgr(11437686));
    combo->setButtonColor(ColorFromBgr(15263976));
    combo->setEditable(false);
    return combo;
}


// Title, artist, album, year and track, comment, genre, then the page's two
// buttons, as both pages lay them out.
void LayOutPage(QWidget* page, QLineEdit* title, QLineEdit* artist, QLineEdit* album, QLineEdit* year,
                QLineEdit* track, QLineEdit* comment, QWidget* genre, QPushButton* copy, QPushButton* clear) {
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setVerticalSpacing(6);
    // Each field is the buddy of its label, which names it to screen readers.
    auto label = [page](const char* caption, QWidget* field) {
        auto* text = new SkinLabel(QString::fromLatin1(caption), page);
        text->setBuddy(field);
        return text;
    };
    grid->addWidget(label("Title", title), 0, 0);
    grid->addWidget(title, 0, 1, 1, 3);
    grid->addWidget(label("Artist", artist), 1, 0);
    grid->addWidget(artist, 1, 1, 1, 3);
    grid->addWidget(label("Album", album), 2, 0);
    grid->addWidget(album, 2, 1, 1, 3);
    grid->addWidget(label("Year", year), 3, 0);
    grid->addWidget(year, 3, 1);
    grid->addWidget(label("Track", track), 3, 2);
    grid->addWidget(track, 3, 3);
    grid->addWidget(label("Comment", comment), 4, 0);
    grid->addWidget(comment, 4, 1, 1, 3);
    grid->addWidget(label("Genre", genre), 5, 0);
    grid->addWidget(genre, 5, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(clear);
    grid->addLayout(buttons, 6, 0, 1, 4);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

}  // namespace

Tfm_Id3::Tfm_Id3(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Id3"));
    createControls();
    resize(467, 322);
}

void Tfm_Id3::createControls() {
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    column->addLayout(top, 1);

    lv = new QTableWidget(0, 2, this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("path")});
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setShowGrid(true);
    lv->setWordWrap(false);
    lv->verticalHeader()->hide();
    lv->verticalHeader()->setDefaultSectionSize(lv->fontMetrics().height() + 6);
    lv->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lv->horizontalHeader()->setStretchLastSection(true);
    lv->setColumnWidth(0, 165);
    lv->setColumnHidden(1, true);
    lv->setFixedWidth(172);
    connect(lv, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!selecting_) lvClick();
    });
    top->addWidget(lv);

    pgc_id3 = new QTabWidget(this);
    pgc_id3->setObjectName(QStringLiteral("pgc_id3"));
    pgc_v1 = new QWidget;
    pgc_v1->setObjectName(QStringLiteral("pgc_v1"));
    pgc_v2 = new QWidget;
    pgc_v2->setObjectName(QStringLiteral("pgc_v2"));
    pgc_id3->addTab(pgc_v1, QStringLiteral("ID3 V1 Tag"));
    pgc_id3->addTab(pgc_v2, QStringLiteral("ID3 V2 Tag"));
    top->addWidget(pgc_id3, 1);

    edt_v1title = NewEdit(pgc_v1, "edt_v1title");
    edt_v1artist = NewEdit(pgc_v1, "edt_v1artist");
    edt_v1year = NewEdit(pgc_v1, "edt_v1year");
    edt_v1album = NewEdit(pgc_v1, "edt_v1album");
    edt_v1comment = NewEdit(pgc_v1, "edt_v1comment");
    cb_genre = NewGenreList(pgc_v1, "cb_genre");
    edt_v1track = NewEdit(pgc_v1, "edt_v1track");
    btn_v1copy = NewButton(pgc_v1, "btn_v1copy", "Copy From v2");
    btn_v1clear = NewButton(pgc_v1, "btn_v1clear", "Clear Tag");
    LayOutPage(pgc_v1, edt_v1title, edt_v1artist, edt_v1album, edt_v1year, edt_v1track, edt_v1comment, cb_genre,
               btn_v1copy, btn_v1clear);

    edt_v2tit = NewEdit(pgc_v2, "edt_v2tit");
    edt_v2art = NewEdit(pgc_v2, "edt_v2art");
    edt_v2year = NewEdit(pgc_v2, "edt_v2year");
    edt_v2alb = NewEdit(pgc_v2, "edt_v2alb");
    edt_v2com = NewEdit(pgc_v2, "edt_v2com");
    cb_v2gen = NewGenreList(pgc_v2, "cb_v2gen");
    edt_v2track = NewEdit(pgc_v2, "edt_v2track");
    btn_v2copy = NewButton(pgc_v2, "btn_v2copy", "Copy From v1");
    btn_v2clear = NewButton(pgc_v2, "btn_v2clear", "Clear Tag");
    LayOutPage(pgc_v2, edt_v2tit, edt_v2art, edt_v2alb, edt_v2year, edt_v2track, edt_v2com, cb_v2gen, btn_v2copy,
               btn_v2clear);

    auto* bottom = new QHBoxLayout;
    Button2 = NewButton(this, "Button2", "Previous");
    Button3 = NewButton(this, "Button3", "Next");
    btn_more = NewButton(this, "btn_more", "More...");
    btn_ok = NewButton(this, "btn_ok", "OK");
    btn_ok->setDefault(true);
    Button1 = NewButton(this, "Button1", "Close");
    bottom->addWidget(Button2);
    bottom->addWidget(Button3);
    bottom->addWidget(btn_more);
    bottom->addStretch(1);
    bottom->addWidget(btn_ok);
    bottom->addWidget(Button1);
    column->addLayout(bottom);

    connect(btn_v1copy, &QPushButton::clicked, this, &Tfm_Id3::btn_v1copyClick);
    connect(btn_v2copy, &QPushButton::clicked, this, &Tfm_Id3::btn_v2copyClick);
    connect(btn_v1clear, &QPushButton::clicked, this, &Tfm_Id3::btn_v1clearClick);
    connect(btn_v2clear, &QPushButton::clicked, this, &Tfm_Id3::btn_v2clearClick);
    connect(Button2, &QPushButton::clicked, this, &Tfm_Id3::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfm_Id3::Button3Click);
    connect(btn_more, &QPushButton::clicked, this, &Tfm_Id3::btn_moreClick);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_Id3::btn_okClick);
    connect(Button1, &QPushButton::clicked, this, &Tfm_Id3::Button1Click);

    exits_ = {
        {edt_v1title, TagPage::V1, TagField::Title, false},   {edt_v1artist, TagPage::V1, TagField::Artist, false},
        {edt_v1year, TagPage::V1, TagField::Year, false},     {edt_v1album, TagPage::V1, TagField::Album, false},
        {edt_v1comment, TagPage::V1, TagField::Comment, false}, {cb_genre, TagPage::V1, TagField::Title, true},
        {edt_v1track, TagPage::V1, TagField::Track, false},   {edt_v2tit, TagPage::V2, TagField::Title, false},
        {edt_v2art, TagPage::V2, TagField::Artist, false},    {edt_v2alb, TagPage::V2, TagField::Album, false},
        {edt_v2com, TagPage::V2, TagField::Comment, false},   {cb_v2gen, TagPage::V2, TagField::Title, true},
        {edt_v2track, TagPage::V2, TagField::Track, false},   {edt_v2year, TagPage::V2, TagField::Year, false},
    };
    for (const Exit& exit : exits_) {
        exit.control->installEventFilter(this);
        if (auto* edit = qobject_cast<QLineEdit*>(exit.control))
            connect(edit, &QLineEdit::textChanged, this, [this, edit] { fieldTextChanged(edit); });
    }
    for (TvsComboBox* combo : {cb_genre, cb_v2gen}) {
        // Every road but the editor's own counts as the user's pick: the
        // mouse and the keys, and an assistive tool that sets the item
        // without the focus.
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] { genreChanged(combo); });
        // A pick of the item already shown counts too: it puts that genre
        // into every selected row.
        connect(combo, &QComboBox::activated, this, [this, combo] { genreChanged(combo); });
    }
}

// ------------------------------------------------------------------ showing

void Tfm_Id3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tfm_Id3::FormShow() {
    resize(467, 322);
    if (!host_) return;
    const std::vector<TagEditTrack> tracks = host_->TracksToEdit();
    if (tracks.empty()) return;
    SelectedTrackRows_.clear();
    for (const TagEditTrack& t : tracks) SelectedTrackRows_.push_back(t.listRow);
    pgc_id3->setCurrentIndex(1);
    pgc_id3->setCurrentIndex(0);
    if (SkinEngine* skin = host_->EditorSkin()) {
        skin->resetWindow(this);
        skin->applySkinSection(this, QStringLiteral("filter"));
    }

    selecting_ = true;
    lv->setRowCount(0);
    if (!genresFilled_) {
        const QScopedValueRollback putting(puttingValues_, true);
        QStringList names;
        for (std::string_view name : Id3GenreNames) names << QString::fromLatin1(name.data(), static_cast<int>(name.size()));
        cb_genre->addItems(names);
        cb_v2gen->addItems(names);
        genresFilled_ = true;
    }
    lv->setRowCount(static_cast<int>(tracks.size()));
    for (int r = 0; r < static_cast<int>(tracks.size()); ++r) {
        const TagEditTrack& t = tracks[static_cast<std::size_t>(r)];
        lv->setItem(r, 0, new QTableWidgetItem(Text(t.caption)));
        lv->setItem(r, 1, new QTableWidgetItem(Text(t.path)));
    }
    editor_.load(tracks);
    lv->clearSelection();
    selecting_ = false;
    // The pages show the first row at once rather than staying empty until
    // the user clicks it.
    selectRows({0});
}

std::vector<int> Tfm_Id3::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : lv->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void Tfm_Id3::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (int r : rows)
        if (r >= 0 && r < lv->rowCount()) selection.select(lv->model()->index(r, 0), lv->model()->index(r, 1));
    lv->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty() && rows.front() < lv->rowCount())
        lv->selectionModel()->setCurrentIndex(lv->model()->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
}

std::string Tfm_Id3::shownPath() const {
    const std::vector<int> rows = selectedRows();
    if (rows.empty() || static_cast<std::size_t>(rows.front()) >= editor_.size()) return {};
    return editor_.row(static_cast<std::size_t>(rows.front())).track.path;
}

void Tfm_Id3::emptyPages() {
    const QScopedValueRollback putting(puttingValues_, true);
    for (const Exit& exit : exits_)
        if (auto* edit = qobject_cast<QLineEdit*>(exit.control)) edit->clear();
    cb_genre->setCurrentIndex(-1);
    cb_v2gen->setCurrentIndex(-1);
    pickedGenres_.clear();
}

void Tfm_Id3::setPageV2Shown(bool shown) {
    pgc_id3->setTabVisible(1, shown);
    btn_v1copy->setEnabled(shown);
}

void Tfm_Id3::fillPages(std::size_t i) {
    const QScopedValueRollback putting(puttingValues_, true);
    const TagEditRow& row = editor_.row(i);
    if (row.kind != AudioKind::Mp3 && row.kind != AudioKind::Ogg && row.kind != AudioKind::Wma) return;
    setPageV2Shown(row.kind == AudioKind::Mp3);
    edt_v1track->setText(Text(row.v1.Track));
    edt_v1comment->setText(Text(row.v1.Comment));
    edt_v1year->setText(Text(row.v1.Year));
    edt_v1artist->setText(Text(row.v1.Artist));
    edt_v1album->setText(Text(row.v1.Album));
    edt_v1title->setText(Text(row.v1.Title));
    cb_genre->setCurrentIndex(editor_.shownGenre(i, TagPage::V1));
    if (row.kind != AudioKind::Mp3) return;
    edt_v2track->setText(Text(row.v2.Track));
    edt_v2com->setText(Text(row.v2.Comment));
    edt_v2year->setText(Text(row.v2.Year));
    edt_v2art->setText(Text(row.v2.Artist));
    edt_v2alb->setText(Text(row.v2.Album));
    edt_v2tit->setText(Text(row.v2.Title));
    cb_v2gen->setCurrentIndex(editor_.shownGenre(i, TagPage::V2));
}

void Tfm_Id3::lvClick() {
    // The rows are the writers' while OK runs; the pages follow afterwards.
    if (writing_) {
        clickPending_ = true;
        return;
    }
    const std::vector<int> rows = selectedRows();
    if (rows.empty() || static_cast<std::size_t>(rows.front()) >= editor_.size()) return;
    emptyPages();
    fillPages(static_cast<std::size_t>(rows.front()));
    lv->setFocus();
}

// ------------------------------------------------------------ exit handlers

bool Tfm_Id3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) exitControl(static_cast<QWidget*>(watched));
    return QDialog::eventFilter(watched, event);
}

void Tfm_Id3::exitControl(QWidget* control) {
    // A value typed while OK writes stays typed until the field is left again.
    if (writing_) return;
    const auto exit = std::find_if(exits_.begin(), exits_.end(), [control](const Exit& e) { return e.control == control; });
    if (exit == exits_.end()) return;
    if (exit->genre) {
        const auto picked = std::find(pickedGenres_.begin(), pickedGenres_.end(), control);
        if (picked == pickedGenres_.end()) return;
        pickedGenres_.erase(picked);
        const int item = static_cast<TvsComboBox*>(control)->currentIndex();
        if (item >= 0) editor_.setGenre(exit->page, item, selectedRows());
        return;
    }
    auto* edit = static_cast<QLineEdit*>(control);
    if (!edit->isModified()) return;
    edit->setModified(false);
    editor_.setField(exit->page, exit->field, Utf8(edit->text()), selectedRows());
}

void Tfm_Id3::fieldTextChanged(QLineEdit* edit) {
    if (puttingValues_) return;
    edit->setModified(true);
    if (!edit->hasFocus()) exitControl(edit);
}

void Tfm_Id3::genreChanged(TvsComboBox* combo) {
    if (puttingValues_) return;
    if (std::find(pickedGenres_.begin(), pickedGenres_.end(), combo) == pickedGenres_.end())
        pickedGenres_.push_back(combo);
    if (!combo->hasFocus()) exitControl(combo);
}

void Tfm_Id3::commitFocusedControl() {
    if (QWidget* focused = QApplication::focusWidget()) exitControl(focused);
}

// ------------------------------------------------------------ copy and clear

id3tag Tfm_Id3::shownValues(TagPage page) const {
    const bool v1 = page == TagPage::V1;
    id3tag shown;
    shown.Title = Utf8((v1 ? edt_v1title : edt_v2tit)->text());
    shown.Artist = Utf8((v1 ? edt_v1artist : edt_v2art)->text());
    shown.Album = Utf8((v1 ? edt_v1album : edt_v2alb)->text());
    shown.Year = Utf8((v1 ? edt_v1year : edt_v2year)->text());
    shown.Comment = Utf8((v1 ? edt_v1comment : edt_v2com)->text());
    shown.Track = Utf8((v1 ? edt_v1track : edt_v2track)->text());
    return shown;
}

void Tfm_Id3::btn_v1copyClick() {
    if (writing_) return;
    commitFocusedControl();
    const QScopedValueRollback putting(puttingValues_, true);
    edt_v1title->setText(edt_v2tit->text());
    edt_v1artist->setText(edt_v2art->text());
    edt_v1album->setText(edt_v2alb->text());
    edt_v1year->setText(edt_v2year->text());
    edt_v1comment->setText(edt_v2com->text());
    edt_v1track->setText(edt_v2track->text());
    cb_genre->setCurrentIndex(cb_v2gen->currentIndex());
    editor_.copyToPage(TagPage::V1, shownValues(TagPage::V1), cb_genre->currentIndex(), selectedRows());
}

void Tfm_Id3::btn_v2copyClick() {
    if (writing_) return;
    commitFocusedControl();
    const QScopedValueRollback putting(puttingValues_, true);
    edt_v2tit->setText(edt_v1title->text());
    edt_v2art->setText(edt_v1artist->text());
    edt_v2alb->setText(edt_v1album->text());
    edt_v2year->setText(edt_v1year->text());
    edt_v2com->setText(edt_v1comment->text());
    edt_v2track->setText(edt_v1track->text());
    cb_v2gen->setCurrentIndex(cb_genre->currentIndex());
    editor_.copyToPage(TagPage::V2, shownValues(TagPage::V2), cb_v2gen->currentIndex(), selectedRows());
}

void Tfm_Id3::btn_v1clearClick() {
    if (writing_) return;
    commitFocusedControl();
    const QScopedValueRollback putting(puttingValues_, true);
    for (QLineEdit* edit : {edt_v1title, edt_v1artist, edt_v1album, edt_v1comment}) edit->clear();
    edt_v1year->setText(QStringLiteral("0"));
    edt_v1track->setText(QStringLiteral("0"));
    cb_genre->setCurrentIndex(-1);
    editor_.clearPage(TagPage::V1, selectedRows());
}

void Tfm_Id3::btn_v2clearClick() {
    if (writing_) return;
    commitFocusedControl();
    const QScopedValueRollback putting(puttingValues_, true);
    for (QLineEdit* edit : {edt_v2tit, edt_v2art, edt_v2alb, edt_v2com}) edit->clear();
    edt_v2year->setText(QStringLiteral("0"));
    edt_v2track->setText(QStringLiteral("0"));
    cb_v2gen->setCurrentIndex(-1);
    editor_.clearPage(TagPage::V2, selectedRows());
}

// --------------------------------------------------------- previous, next

void Tfm_Id3::Button2Click() {
    if (writing_) return;
    commitFocusedControl();
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    const int i = rows.front();
    if (i > 0) {
        selecting_ = true;
        lv->selectionModel()->select(lv->model()->index(i - 1, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        lv->selectionModel()->select(lv->model()->index(i, 0),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        lv->selectionModel()->setCurrentIndex(lv->model()->index(i - 1, 0), QItemSelectionModel::NoUpdate);
        selecting_ = false;
        lv->scrollTo(lv->model()->index(i - 1, 0));
        lvClick();
    }
    lv->setFocus();
}

void Tfm_Id3::Button3Click() {
    if (writing_) return;
    commitFocusedControl();
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    const int i = rows.front();
    if (i + 1 < lv->rowCount()) {
        selecting_ = true;
        lv->selectionModel()->select(lv->model()->index(i + 1, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        lv->selectionModel()->select(lv->model()->index(i, 0),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        lv->selectionModel()->setCurrentIndex(lv->model()->index(i + 1, 0), QItemSelectionModel::NoUpdate);
        selecting_ = false;
        lv->scrollTo(lv->model()->index(i + 1, 0));
        lvClick();
    }
    lv->setFocus();
}

// ---------------------------------------------------------------------- OK

void Tfm_Id3::btn_okClick() {
    if (!host_ || writing_) return;
    commitFocusedControl();
    const std::vector<std::size_t> changed = editor_.changedRows();
    if (changed.empty()) return;
    // Whichever changed row the player has open, it is asked about first.
    for (std::size_t i : changed) {
        if (!host_->PlaysFile(editor_.row(i).track.path)) continue;
        MessageRequest ask;
        ask.kind = MessageKind::Confirmation;
        ask.title = QStringLiteral("Confirmation");
        ask.text = QStringLiteral("The current file is playing. Stop playing?");
        ask.buttons = MessageButtons::YesNo;
        ask.parent = this;
        if (ShowMessage(ask) != MessageAnswer::Yes) return;
        host_->StopPlaybackForEdit();
        break;
    }

    writing_ = true;
    host_->SetLibraryBusy(true);
    for (std::size_t i : changed) host_->ReleaseFile(editor_.row(i).track.path);
    // The windows stay alive while hundreds of files are written.
    EventPump events(kPumpIntervalMs);
    auto pump = [&events] { events.pump(); };
    const TrackLibrary& library = host_->EditedLibrary();
    const EditedRecordFile target = host_->RecordFileOfSelectedNode();
    // The record file's index is read while the tags are written, rather
    // than at the first record with the window frozen.
    std::future<void> prepared;
    if (!target.file.empty())
        prepared = std::async(std::launch::async, [&library, file = target.file] { library.prepareUpdates(file); });
    const std::vector<std::optional<std::string>> failures = editor_.writeTagsOf(changed, pump);
    if (prepared.valid())
        while (prepared.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) pump();

    // A file whose tag could not be written keeps its record; the others go
    // on, and the user hears of the failed ones at the end.
    LibraryTree* tree = target.isLibrary ? host_->EditedTree() : nullptr;
    const int nodesBefore = tree ? tree->myArtistNode()->childCount() + tree->myAlbumNode()->childCount() : 0;
    QString failedText;
    QStringList failedFiles;
    std::optional<std::string> recordError;
    for (std::size_t k = 0; k < changed.size(); ++k) {
        const std::size_t i = changed[k];
        const TagEditRow& row = editor_.row(i);
        if (failures[k]) {
            if (failedFiles.isEmpty()) failedText = Text(TagEditor::WriteFailureText(row.track.path));
            failedFiles << Text(*failures[k]);
            continue;
        }
        TrackRecord shown;
        editor_.updateRecord(i, shown);
        shown.Path = row.track.path;
        if (!target.file.empty() && !recordError) {
            bool found = false;
            recordError = library.updateRecord(target.file, row.track.path, [&](TrackRecord& record) {
                editor_.updateRecord(i, record);
                found = true;
            });
            if (tree && found) {
                tree->ensureArtist(Text(shown.Artist));
                tree->ensureAlbum(Text(shown.Album));
            }
        }
        host_->ShowEditedRecord(row.track.listRow, shown);
        editor_.markWritten(i);
        pump();
    }
    if (tree) {
        tree->RefreshTreeImages();
        tree->viewport()->update();
        if (nodesBefore != tree->myArtistNode()->childCount() + tree->myAlbumNode()->childCount())
            host_->SaveEditedTree();
    }
    host_->SetLibraryBusy(false);
    writing_ = false;
    if (clickPending_) {
        clickPending_ = false;
        lvClick();
    }
    if (recordError) ShowError(Text(*recordError), this);
    if (failedFiles.isEmpty()) return;
    MessageRequest error;
    error.kind = MessageKind::Error;
    error.title = QStringLiteral("Error");
    error.text = failedText;
    error.details = failedFiles.join(u'\n');
    error.parent = this;
    ShowMessage(error);
}

// ------------------------------------------------------------------- close

void Tfm_Id3::Button1Click() {
    if (writing_) return;
    pruneNodes();
    reject();
}

void Tfm_Id3::pruneNodes() {
    if (!host_) return;
    LibraryTree* tree = host_->EditedTree();
    if (!tree || !PruneUnnamedNodes(host_->EditedLibrary(), *tree)) return;
    tree->viewport()->update();
}

void Tfm_Id3::done(int result) {
    // OK lets events through while it writes; it ends before the window does.
    if (writing_) return;
    FormCloseQuery();
    QDialog::done(result);
}

void Tfm_Id3::FormCloseQuery() {
    selecting_ = true;
    lv->setRowCount(0);
    selecting_ = false;
    editor_.clear();
    btn_v1clearClick();
    btn_v2clearClick();
    pickedGenres_.clear();
    for (const Exit& exit : exits_)
        if (auto* edit = qobject_cast<QLineEdit*>(exit.control)) edit->setModified(false);
    if (host_) host_->ShowPlayingRow();
}

void Tfm_Id3::btn_moreClick() {
    if (writing_ || !host_ || !fm_more) return;
    const std::string path = shownPath();
    if (path.empty()) return;
    fm_more->editFile(path, host_, this);
}

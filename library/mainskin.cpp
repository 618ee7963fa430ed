// The main window's skin: the elements it binds, what a click on each of
// them does, seeking and volume on the bars, the switch between the two
// skins, and the mini window shown in place of the main window.

#include <QTableView>

#include "components/player/audioplayer.h"
#include "components/skin/skinengine.h"
#include "library/id3.h"
#include "library/librarytree.h"
#include "library/main.h"
#include "library/mainfilter.h"
#include "library/mmain.h"
#include "library/playlist.h"
#include "library/playtime.h"
#include "library/tracklistmodel.h"
#include "platform/inifile.h"
#include "platform/messageboxes.h"
#include "platform/muldiv.h"
#include "platform/paths.h"
#include "platform/presenter.h"
#include "skin/menu.h"

namespace {

// The playlist window opens this far below the top of the track list.
int PlaylistOffset(int skinNumber) { return skinNumber == 2 ? 40 : 50; }

constexpr int kBarEndOfTrack = 985;

}  // namespace

// ------------------------------------------------------------ bindings

void Tfm_main::BindMainSkinObjects() {
    auto bound = [this](const char* name) { return Skin->findSkinObject(this, QString::fromLatin1(name)); };
    SkinMediabar = nullptr;
    SkinSoundbar = nullptr;
    SkinTimeText = nullptr;
    SkinFileNameText = nullptr;
    if (SkinObject* o = bound("mediabar")) SkinMediabar = o->as<SkinScrollBar>();
    if (SkinObject* o = bound("soundbar")) SkinSoundbar = o->as<SkinScrollBar>();
    if (SkinObject* o = bound("time")) SkinTimeText = o->as<SkinText>();
    if (SkinObject* o = bound("filename")) SkinFileNameText = o->as<SkinText>();
}

void Tfm_main::BindMiniFileNameElement() {
    SkinMiniFileNameText = nullptr;
    if (!fm_mmain) return;
    if (SkinObject* o = Skin->findSkinObject(fm_mmain, QStringLiteral("mfilename")))
        SkinMiniFileNameText = o->as<SkinText>();
}

void Tfm_main::ApplySkinLook(int skinNumber) {
    if (skinNumber == 2) {
        vsPopupMenu1->setBarColor(ColorFromBgr(0xE7EBEF));
        vsPopupMenu1->setSeparatorColor(ColorFromBgr(0xC5C9CD));
        // The tree's popup keeps the separator colour it had.
        vsPopupMenu2->setBarColor(ColorFromBgr(0xE7EBEF));
        Image->setFixedHeight(53);
        Image2->setFixedHeight(27);
        Image2->hide();
    } else {
        for (TvsPopupMenu* menu : {vsPopupMenu1, vsPopupMenu2}) {
            menu->setBarColor(ColorFromBgr(0xD6C3BD));
            menu->setSeparatorColor(ColorFromBgr(0xBD9A8C));
        }
        Image->setFixedHeight(52);
        Image2->setFixedHeight(78);
        Image2->show();
    }
}

// ------------------------------------------------------------- clicks

void Tfm_main::SkinClick(SkinObject* source) {
    // The playlist window acts on its own elements.
    if (!source || (fm_playlist && source->window() == fm_playlist)) return;
    using Action = void (Tfm_main::*)();
    static const std::pair<const char*, Action> kActions[] = {
        {"Min", &Tfm_main::ShowMiniWindow},
        {"mMax", &Tfm_main::ReturnFromMiniWindow},
        {"mClose", &Tfm_main::Exit1Click},
        {"BoxAdd", &Tfm_main::AddFilesToLibrary},
        {"Boxdelete", &Tfm_main::DeleteFileRecords},
        {"Boxplay", &Tfm_main::BoxplayClick},
        {"Boxpause", &Tfm_main::PauseResume},
        {"Boxstop", &Tfm_main::StopPlayback},
        {"Boxprevious", &Tfm_main::PlayPrevious},
        {"Boxnext", &Tfm_main::PlayNext},
        {"BoxID3", &Tfm_main::ID31Click},
        {"Boxclear", &Tfm_main::ClearFileRecords},
    };
    const QString name = source->getName();
    for (const auto& [element, action] : kActions) {
        if (name == QLatin1String(element)) {
            (this->*action)();
            return;
        }
    }
    if (name == QLatin1String("rescan")) {
        makeLateWindows();
        if (!LibraryBusy) openToolWindow(fm_dir, false);
    } else if (name == QLatin1String("ripper")) {
        openToolWindow(toolWindow(ToolWindow::Ripper), true);
    } else if (name == QLatin1String("AudioWriter")) {
        openToolWindow(toolWindow(ToolWindow::AudioWriter), true);
    } else if (name == QLatin1String("DataWriter")) {
        openToolWindow(toolWindow(ToolWindow::DataWriter), true);
    } else if (name == QLatin1String("recorder")) {
        Recorder1Click();
    } else if (name == QLatin1String("cutter")) {
        openToolWindow(toolWindow(ToolWindow::Cutter), true);
    } else if (name == QLatin1String("combine")) {
        openToolWindow(toolWindow(ToolWindow::Combine), true);
    } else if (name == QLatin1String("playlist")) {
        if (!fm_playlist || fm_playlist->isVisible()) return;
        fm_playlist->OpenPlaylistWindow();
        placePlaylistWindow();
    }
}

void Tfm_main::openToolWindow(QWidget* window, bool stopAndCloseFirst) {
    if (!window) return;
    if (stopAndCloseFirst) StopPlaybackAndCloseFile();
    CentreOver(window, this);
    ShowModal(window);
}

QWidget* Tfm_main::toolWindow(ToolWindow which) const { return Tools ? Tools->toolWindow(which) : nullptr; }

void Tfm_main::makeLateWindows() const {
    if (Tools) Tools->makeLateWindows();
}

void Tfm_main::placePlaylistWindow() {
    // Right edges aligned, the top a little below the track list's.
    const QRect main = frameGeometry();
    const int top = main.top() + lv_playlist->mapTo(this, QPoint(0, 0)).y() + PlaylistOffset(SkinNumber);
    fm_playlist->move(main.left() + main.width() - fm_playlist->frameGeometry().width(), top);
}

void Tfm_main::ID31Click() {
    if (LibraryBusy) return;
    if (SelectedRows().empty()) {
        MessageRequest request;
        request.kind = MessageKind::Information;
        request.title = QStringLiteral("mtInformation");
        request.text = QStringLiteral("Please selete the file you want to edit.");
        request.parent = this;
        ShowMessage(request);
        return;
    }
    makeLateWindows();
    if (!fm_Id3) return;
    CentreOver(fm_Id3, this);
    ShowModal(fm_Id3);
}

void Tfm_main::PlayPlaylistSelection() {
    if (fm_playlist) fm_playlist->PlayPlaylistSelection();
}

// ------------------------------------------------------ seeking, volume

void Tfm_main::SkinMouseDown(SkinObject* source, int button) {
    if (button != 1 || !source) return;
    DragStoppedPlayback = false;
    if (source->window() != this || source->getName() != QLatin1String("mediabar")) return;
    if (!IsPlaying) return;
    Playback.stop();
    IsPlaying = false;
    DragStoppedPlayback = true;
}

void Tfm_main::SkinMouseUp(SkinObject* source, int button) {
    if (button != 1 || !source || source->window() != this) return;
    if (source->getName() != QLatin1String("mediabar") || !DragStoppedPlayback) return;
    seeking_ = true;
    PlayCurrent();
    seeking_ = false;
}

void Tfm_main::SkinScrollTrack(SkinObject* source, int newPos) {
    if (!source || source->window() != this) return;
    const QString name = source->getName();
    if (name == QLatin1String("soundbar")) {
        AudioPlayer21->setVolume(newPos);
    } else if (name == QLatin1String("mediabar")) {
        if (newPos > kBarEndOfTrack) {
            AudioPlayer21EndPlay();
        } else if (!IsPlaying) {
            const int64_t duration = std::min<int64_t>(Playback.durationMs(), std::numeric_limits<int32_t>::max());
            setTimeText(QString::fromStdString(FormatPlayTime(mulDiv(newPos, static_cast<int32_t>(duration), 1000))));
        }
    }
}

// ----------------------------------------------------------- skin switch

void Tfm_main::Skin11Click() { switchSkin(1); }

void Tfm_main::Skin21Click() { switchSkin(2); }

void Tfm_main::switchSkin(int number) {
    if (SkinNumber == number) return;
    SkinNumber = number;
    IniFile().writeInteger("basic", "skin", number);
    // The new skin's elements come blank: what the old ones showed goes over.
    const QString fileName = fileNameText();
    const QString time = timeText();
    const int bar = mediabarPosition();
    Skin->setMainWindow(this);
    Skin->loadSkin(QString::fromStdString(JoinPath(AssetRoot(), number == 2 ? "skins/skin2.skn" : "skins/skin1.skn")));
    Skin->applySkinSection(this, QStringLiteral("Tunevale"));
    ApplySkinLook(number);
    BindMainSkinObjects();
    if (SkinSoundbar) SkinSoundbar->setPosition(AudioPlayer21->volume());
    setFileNameText(fileName);
    setTimeText(time);
    setMediabarPosition(bar);
    if (fm_playlist && fm_playlist->isVisible()) {
        fm_playlist->ReapplyPlaylistSkin();
        placePlaylistWindow();
    }
    if (QWidget* recorder = toolWindow(ToolWindow::Recorder)) {
        Skin->resetWindow(recorder);
        Skin->applySkinSection(recorder, QStringLiteral("windows"));
    }
}

// ----------------------------------------------------------- mini window

void Tfm_main::ShowMiniWindow() {
    if (!fm_mmain || MiniMode) return;
    SavedTreeIndex = TreeView1->absoluteIndex(TreeView1->currentItem());
    SavedMainHeight = height();
    MiniMode = true;
    if (IsPaused) SavedMediabarPosition = mediabarPosition();
    hide();
    fm_mmain->move(pos());
    fm_mmain->show();
    BindMiniFileNameElement();
    if (SkinMiniFileNameText) {
        SkinMiniFileNameText->setText(fileNameText());
        SkinMiniFileNameText->redraw();
    }
}

void Tfm_main::ReturnFromMiniWindow() {
    if (!fm_mmain || !MiniMode) return;
    move(fm_mmain->pos());
    const QString fileName = SkinMiniFileNameText ? SkinMiniFileNameText->getText() : fileNameText();
    // The window is dressed afresh; a paused play keeps its time.
    const QString time = timeText();
    fm_mmain->CloseForReturn();
    MiniMode = false;
    show();
    FormShowAfterMiniWindow();
    resize(width(), SavedMainHeight);
    if (IsPaused) setMediabarPosition(SavedMediabarPosition);
    setTimeText(time);
    if (QTreeWidgetItem* node = TreeView1->itemAtIndex(SavedTreeIndex)) TreeView1->setCurrentItem(node);
    lv_playlist->setFocus();
    setFileNameText(fileName);
}

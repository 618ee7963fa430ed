#include "app/forms.h"

#include <QCheckBox>
#include <QDialog>
#include <QString>

#include "app/application.h"
#include "components/player/modulepcmoutput.h"
#include "components/skin/skinlabel.h"

#include "disc/cdaudioburner.h"
#include "disc/cdburner.h"
#include "disc/cdrecsett.h"
#include "disc/cdrip.h"
#include "disc/discinformation.h"
#include "disc/erase.h"
#include "disc/newfolder.h"
#include "disc/option.h"
#include "library/about.h"
#include "library/cover.h"
#include "library/errorlog.h"
#include "library/addplaylist.h"
#include "library/associate.h"
#include "library/id3.h"
#include "library/main.h"
#include "library/mainfilter.h"
#include "library/mmain.h"
#include "library/more.h"
#include "library/playlist.h"
#include "tools/cdrippersettings.h"
#include "tools/combine.h"
#include "tools/cut.h"
#include "tools/directory.h"
#include "tools/fileinfo.h"
#include "tools/mp3normalize.h"
#include "tools/oggnormalize.h"
#include "tools/recorder.h"
#include "tools/recordersetting.h"
#include "tools/setting.h"
#include "tools/wavnormalizer.h"
#include "tools/wmanormalize.h"
#include "platform/presenter.h"
#include "windowkit/disctoolservices.h"
#include "windowkit/toolskin.h"
#include "jobs/tooljob.h"

namespace {

// What the main window opens of the tools and disc subsystems.
class ProgramToolWindows final : public ToolWindows {
public:
    QWidget* toolWindow(ToolWindow which) const override {
        CreateToolForms();
        switch (which) {
        case ToolWindow::Recorder: return fm_recorder;
        case ToolWindow::Cutter: return fm_cut;
        case ToolWindow::Combine: return fm_combine;
        case ToolWindow::Ripper: return fm_cdripper;
        case ToolWindow::AudioWriter: return fm_cdaudioburner;
        case ToolWindow::DataWriter: return fm_burner;
        case ToolWindow::WavConverter: return fm_wavnormalize;
        case ToolWindow::Mp3Converter: return fm_mp3normalize;
        case ToolWindow::OggConverter: return fm_oggnormalize;
        case ToolWindow::WmaConverter: return fm_wmanormalize;
        }
        return nullptr;
    }
    void makeLateWindows() const override { CreateToolForms(); }
    void setJobMode(ToolWindow which, int mode) const override {
        if (auto* converter = qobject_cast<ConverterWindow*>(toolWindow(which))) converter->JobMode = mode;
    }
    QWidget* busyToolWindow() const override {
        if (fm_recorder && (fm_recorder->isRecording() || fm_recorder->isRecordPaused())) return fm_recorder;
        if (fm_cut && fm_cut->job()) return fm_cut;
        if (fm_combine && fm_combine->job()) return fm_combine;
        if (fm_cdripper && (fm_cdripper->Ripping || fm_cdripper->WmaRipRunning)) return fm_cdripper;
        if (fm_cdaudioburner && (fm_cdaudioburner->IsWriting || fm_cdaudioburner->ConversionRunning()))
            return fm_cdaudioburner;
        if (fm_burner && fm_burner->IsWriting) return fm_burner;
        for (ToolWindow which : {ToolWindow::WavConverter, ToolWindow::Mp3Converter, ToolWindow::OggConverter,
                                 ToolWindow::WmaConverter})
            if (auto* converter = qobject_cast<ConverterWindow*>(toolWindow(which)); converter && converter->running())
                return converter;
        return nullptr;
    }
};

const ProgramToolWindows kToolWindows;

// What the disc windows use of the tools' dialogs.
class ProgramDiscToolServices final : public DiscToolServices {
public:
    QString chooseFolder(QWidget* caller) const override { return ChooseFolder(caller); }
    DiscFolderChoice chooseFolderToAdd(QWidget* caller, const QString& prompt) const override {
        if (!fm_directory) fm_directory = new Tfm_directory;
        fm_directory->sl_action->setCaption(prompt);
        fm_directory->cbx_sub->show();
        const QString folder = ChooseFolder(caller);
        return {folder, fm_directory->IncludeSubfolders};
    }
    bool showEncoderSettings(QWidget* caller) const override {
        if (!fm_cdset) return false;
        CdSetForRecorder = false;
        fm_cdset->setWindowTitle(QStringLiteral("CD Settings"));
        CentreOver(fm_cdset, caller);
        return ShowModal(fm_cdset) == QDialog::Accepted;
    }
};

const ProgramDiscToolServices kDiscToolServices;

template <typename Form>
void DestroyForm(Form*& form) {
    delete form;
    form = nullptr;
}

}  // namespace

void CreateMainForm() {
    fm_main = new Tfm_main;
    fm_main->Tools = &kToolWindows;
    const auto errorLog = [file = QString::fromStdString(fm_main->Library.errorLogFile())](
                              const QString& message, const QString& className) {
        AppendErrorLog(file, message, className);
    };
    SetJobErrorLog(errorLog);
    SoundOutModule::setErrorLog(errorLog);
    // The tool windows wear the main window's skin.
    SetToolWindowSkin(fm_main->Skin);
    SetDiscToolServices(&kDiscToolServices);
    // An error inside a tool or disc job is logged as any other.
    SetJobErrorHandler(HandleUnexpectedException);
}

void CreateLibraryForms() {
    if (!fm_main) CreateMainForm();
    fm_playlist = new Tfm_playlist;
    fm_mmain = new Tfm_mmain;
}

namespace {

void CreateLibraryDialogs() {
    fm_associate = new Tfm_associate;
    fm_Id3 = new Tfm_Id3;
    fm_about = new Tfm_about;
    fm_dir = new Tfm_dir;
    fm_more = new Tfm_more;
    fm_addlist = new Tfm_addlist;

    // The library's small windows reach the main window through what it
    // offers them, and are dressed by its skin engine.
    fm_Id3->setHost(fm_main);
    fm_associate->setSkinEngine(fm_main->Skin);
    fm_about->setSkinEngine(fm_main->Skin);
    fm_addlist->setSkinEngine(fm_main->Skin);
}

}  // namespace

void CreateToolForms() {
    if (fm_recorder) return;
    CreateLibraryDialogs();
    fm_recorder = new Tfm_recorder;
    fm_fileinfo = new Tfm_fileinfo;
    fm_recordsetting = new Tfm_recordsetting;
    fm_cdset = new Tfm_cdset;
    fm_cdripper = new Tfm_cdripper;
    fm_cut = new Tfm_cut;
    fm_combine = new Tfm_combine;
    if (!fm_directory) fm_directory = new Tfm_directory;
    fm_combinesetting = new Tfm_combinesetting;
    fm_burner = new Tfm_burner;
    fm_erase = new Tfm_erase;
    fm_discinfo = new Tfm_discinfo;
    fm_recsett = new Tfm_recsett;
    fm_wavnormalize = new Tfm_wavnormalize;
    fm_mp3normalize = new Tfm_mp3normalize;
    fm_oggnormalize = new Tfm_oggnormalize;
    fm_wmanormalize = new Tfm_wmanormalize;
    fm_option = new Tfm_option;
    fm_cdaudioburner = new Tfm_cdaudioburner;
    fm_newfolder = new Tfm_newfolder;
}

void CreateForms() {
    CreateLibraryForms();
    CreateToolForms();
}

void DestroyForms() {
    SetJobErrorHandler(nullptr);
    SetDiscToolServices(nullptr);
    DestroyForm(fm_cover);
    DestroyForm(fm_addlist);
    DestroyForm(fm_more);
    DestroyForm(fm_mmain);
    DestroyForm(fm_dir);
    DestroyForm(fm_newfolder);
    DestroyForm(fm_cdaudioburner);
    DestroyForm(fm_option);
    DestroyForm(fm_about);
    DestroyForm(fm_wmanormalize);
    DestroyForm(fm_oggnormalize);
    DestroyForm(fm_mp3normalize);
    DestroyForm(fm_wavnormalize);
    DestroyForm(fm_recsett);
    DestroyForm(fm_discinfo);
    DestroyForm(fm_erase);
    DestroyForm(fm_burner);
    DestroyForm(fm_combinesetting);
    DestroyForm(fm_directory);
    DestroyForm(fm_combine);
    DestroyForm(fm_cut);
    DestroyForm(fm_Id3);
    DestroyForm(fm_cdripper);
    DestroyForm(fm_cdset);
    DestroyForm(fm_associate);
    DestroyForm(fm_recordsetting);
    DestroyForm(fm_fileinfo);
    DestroyForm(fm_playlist);
    DestroyForm(fm_recorder);
    DestroyForm(fm_main);
}

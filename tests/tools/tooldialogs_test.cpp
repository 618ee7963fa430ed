// The tool dialogs. The encoder settings dialog in its two modes: defaults
// on a fresh settings file, exactly the keys of its mode written on OK and
// nothing on Default or Cancel, and the WMA help. The folder chooser: OK
// only for a real folder, every other way out is a Cancel, and "Include
// Sub Directory" is remembered.

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeView>

#include "components/skin/skinlabel.h"
#include "platform/inifile.h"
#include "platform/presenter.h"
#include "platform/userfolders.h"
#include "toolwindowtest.h"
#include "tools/cdrippersettings.h"
#include "tools/directory.h"

namespace {

class ToolDialogs : public ToolWindowTest {};

TEST_F(ToolDialogs, RipperModeStartsFromTheDefaultsAndWritesItsTwentyEightKeys) {
    CdSetForRecorder = false;
    Tfm_cdset d;
    d.show();
    EXPECT_EQ(d.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(d.cd_g[0]->isChecked());
    EXPECT_TRUE(d.cd_a[1]->isChecked());
    EXPECT_TRUE(d.rb_f[1]->isChecked() && d.rb_b[1]->isChecked() && d.rb_c[1]->isChecked());
    EXPECT_TRUE(d.RadioButton[1]->isChecked());
    const std::pair<QComboBox*, QString> lists[] = {
        {d.cbx_frequency, "44100"}, {d.cbx_channel, "Stereo"}, {d.cbx_mp3bit, "128"},  {d.cbx_mp3vbrbit, "128"},
        {d.cbx_oggfre, "44100"},    {d.cbx_oggchannel, "Stereo"}, {d.cbx_oggbit, "128"}, {d.cbx_name, "<Title>"},
        {d.cbx_wma, "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps"}};
    for (const auto& [list, text] : lists) EXPECT_EQ(list->currentText(), text) << list->objectName().toStdString();
    const std::pair<UpDown*, int> numbers[] = {{d.ud_retries, 5},     {d.ud_speed, 32},      {d.ud_mp3vbrquality, 5},
                                               {d.up_oggquality, 300}, {d.ud_normzlize, 98}, {d.ud_fadein, 10},
                                               {d.ud_fadeout, 20},     {d.ud_timeout, 15000}};
    for (const auto& [spin, value] : numbers) EXPECT_EQ(spin->position(), value) << spin->objectName().toStdString();
    EXPECT_FALSE(d.cbx_normalize->isChecked());
    EXPECT_FALSE(d.cbx_fade->isEnabled());
    EXPECT_EQ(d.edt_directory->text(), RipOutputFolder());
    EXPECT_EQ(d.edt_cddbadd->text(), kDefaultCddbServer);
    EXPECT_EQ(d.edt_cddbport->text(), "80");

    // Default puts back all but the folder.
    d.edt_directory->setText("/somewhere");
    d.cd_g[3]->setChecked(true);
    d.rb_f[9]->setChecked(true);
    d.cbx_normalize->setChecked(true);
    d.cbx_fade->setChecked(true);
    d.btn_defaultClick();
    EXPECT_EQ(d.GrabMode, 1);
    EXPECT_EQ(d.WavFrequency, 2);
    EXPECT_FALSE(d.cbx_normalize->isChecked() || d.cbx_fade->isChecked());
    EXPECT_FALSE(d.cbx_fade->isEnabled() || d.ud_fadein->isEnabled() || d.ud_normzlize->isEnabled());
    EXPECT_EQ(d.edt_directory->text(), "/somewhere");
    d.btn_cancelClick();
    EXPECT_FALSE(std::filesystem::exists(SettingsFilePath())) << "Default and Cancel write nothing";

    d.show();
    d.RadioButton[2]->setChecked(true);  // the source chosen is the one kept
    d.btn_okClick();
    EXPECT_EQ(IniKeys("cd ripper").size(), 28);
    EXPECT_TRUE(IniKeys("recorder").isEmpty());
    IniFile ini;
    EXPECT_EQ(ini.readInteger("cd ripper", "cd source", -1), 2);
    EXPECT_EQ(ini.readInteger("cd ripper", "normalzie ration", -1), 98);
    EXPECT_EQ(ini.readString("cd ripper", "output directory", ""), RipOutputFolder().toStdString());
}

// What the dialog shows of the keys a rip reads, as the rip would hold them.
RipSettings Shown(const Tfm_cdset& d) {
    RipSettings s;
    s.grabMode = d.GrabMode;
    s.errorRetry = d.ud_retries->position();
    s.errorAction = d.ErrorAction;
    s.driveSpeed = d.ud_speed->position();
    s.normalize = d.cbx_normalize->isChecked();
    s.fade = d.cbx_fade->isChecked();
    s.fadeIn = d.ud_fadein->position();
    s.fadeOut = d.ud_fadeout->position();
    s.normalizeRatio = d.ud_normzlize->position();
    s.outputFolder = d.edt_directory->text().toStdString();
    s.fileNameFormat = d.cbx_name->currentIndex();
    return s;
}

void ExpectSameRip(const RipSettings& shown, const RipSettings& ripped) {
    EXPECT_EQ(shown.grabMode, ripped.grabMode);
    EXPECT_EQ(shown.errorRetry, ripped.errorRetry);
    EXPECT_EQ(shown.errorAction, ripped.errorAction);
    EXPECT_EQ(shown.driveSpeed, ripped.driveSpeed);
    EXPECT_EQ(shown.normalize, ripped.normalize);
    EXPECT_EQ(shown.fade, ripped.fade);
    EXPECT_EQ(shown.fadeIn, ripped.fadeIn);
    EXPECT_EQ(shown.fadeOut, ripped.fadeOut);
    EXPECT_EQ(shown.normalizeRatio, ripped.normalizeRatio);
    EXPECT_EQ(shown.outputFolder, ripped.outputFolder);
    EXPECT_EQ(shown.fileNameFormat, ripped.fileNameFormat);
}

// A user who never opened the dialog, opens it and cancels, rips what it
// showed; after OK the rip reads what it stored, including values an older
// file holds under the spellings rips read first.
TEST_F(ToolDialogs, TheRipperModeShowsAndStoresWhatTheRipDoes) {
    CdSetForRecorder = false;
    Tfm_cdset d;
    d.show();
    {
        SCOPED_TRACE("no keys");
        ExpectSameRip(Shown(d), ReadRipSettings(IniFile()));
        EXPECT_TRUE(d.cd_g[0]->isChecked() && d.cd_a[1]->isChecked());
        EXPECT_EQ(ReadRipLookupSettings(IniFile()).timeoutMs, d.ud_timeout->position());
    }
    d.btn_cancelClick();

    {
        IniFile ini;
        ini.writeString("cd ripper", "output directory", "/srv/rips");
        ini.writeInteger("cd ripper", "normalzie Ratio", 60);
        ini.writeInteger("cd ripper", "normalzie ration", 80);
    }
    d.show();
    {
        SCOPED_TRACE("older spellings");
        EXPECT_EQ(d.edt_directory->text(), "/srv/rips");
        EXPECT_EQ(d.ud_normzlize->position(), 60);
        ExpectSameRip(Shown(d), ReadRipSettings(IniFile()));
    }
    d.cd_g[2]->setChecked(true);
    d.cd_a[3]->setChecked(true);
    d.cbx_name->setCurrentIndex(4);
    d.ud_retries->setPosition(7);
    d.ud_speed->setPosition(8);
    d.cbx_normalize->setChecked(true);
    d.ud_normzlize->setPosition(90);
    d.cbx_fade->setChecked(true);
    d.ud_fadein->setPosition(3);
    d.ud_fadeout->setPosition(4);
    d.edt_directory->setText("/srv/other");
    d.ud_timeout->setPosition(2500);
    const RipSettings chosen = Shown(d);
    d.btn_okClick();
    {
        SCOPED_TRACE("after OK");
        ExpectSameRip(chosen, ReadRipSettings(IniFile()));
        EXPECT_EQ(ReadRipLookupSettings(IniFile()).timeoutMs, 2500);
        EXPECT_EQ(IniKeys("cd ripper").size(), 29) << "no second copy of the folder's key";
    }
    d.show();
    ExpectSameRip(Shown(d), chosen);
    d.btn_defaultClick();
    {
        SCOPED_TRACE("Default");
        RipSettings defaults;
        defaults.outputFolder = chosen.outputFolder;  // Default leaves the folder
        ExpectSameRip(Shown(d), defaults);
        EXPECT_TRUE(d.cd_g[0]->isChecked() && d.cd_a[1]->isChecked());
        EXPECT_EQ(d.ud_timeout->position(), RipLookupSettings{}.timeoutMs);
    }
    d.btn_cancelClick();
}

// Its opener centres it before its first show, when it has not been shown
// at its own size yet: it must already have it then. (The frame the window
// manager adds at the show moves it by its own width at most.)
TEST_F(ToolDialogs, TheFirstShowIsCentredOverItsOpener) {
    QWidget opener;
    opener.setGeometry(100, 100, 400, 380);
    opener.show();
    CdSetForRecorder = false;
    Tfm_cdset d;
    CentreOver(&d, &opener);
    d.show();
    const QRect area = opener.frameGeometry();
    const QRect own = d.frameGeometry();
    const QMargins frame(d.geometry().left() - own.left(), d.geometry().top() - own.top(), 0, 0);
    EXPECT_NEAR(own.left(), area.left() + (area.width() - own.width()) / 2, 1 + frame.left());
    EXPECT_NEAR(own.top(), area.top() + (area.height() - own.height()) / 2, 1 + frame.top());
}

TEST_F(ToolDialogs, RecorderModeTouchesOnlyItsThirteenFormatKeys) {
    IniFile ini;
    ini.writeInteger("recorder", "rl", -1);
    ini.writeInteger("cd ripper", "grab mode", 9);  // no such code: no button checked
    CdSetForRecorder = false;
    Tfm_cdset d;
    d.show();
    for (QRadioButton* b : d.cd_g) EXPECT_FALSE(b->isChecked());
    d.btn_cancelClick();

    CdSetForRecorder = true;
    d.show();
    EXPECT_EQ(d.ud_mp3vbrquality->position(), 8);
    EXPECT_EQ(d.PageControl1->currentIndex(), 1);
    for (int page : {0, 5, 6}) EXPECT_FALSE(d.PageControl1->isTabVisible(page));
    d.cbx_wma->setCurrentIndex(10);
    // The help of the chosen WMA format shows while its button is held.
    EXPECT_TRUE(d.SkinLabel1->isHidden());
    d.Button1->pressed();
    EXPECT_FALSE(d.SkinLabel1->isHidden());
    EXPECT_EQ(d.SkinLabel1->text(), "WMA 8 for Dial-up Modem (32 Kbps) ");
    d.Button1->released();
    EXPECT_TRUE(d.SkinLabel1->isHidden());
    d.btn_okClick();
    EXPECT_EQ(IniKeys("recorder").size(), 14);
    EXPECT_EQ(ini.readInteger("recorder", "rl", 0), -1);
    EXPECT_EQ(ini.readInteger("recorder", "wma format", 0), 10);
    EXPECT_EQ(IniKeys("cd ripper"), QStringList{"grab mode"});
    EXPECT_EQ(d.currentWmaIndex(), 10);  // read by the ripper while the dialog is closed

    // Ripper mode again: the code that checked nothing goes back unchanged.
    CdSetForRecorder = false;
    d.show();
    d.btn_okClick();
    EXPECT_EQ(ini.readInteger("cd ripper", "grab mode", 0), 9);
}

// Each MP3 rate offers only the bitrates MPEG audio allows with it; a
// stored bitrate beyond them shows, and is saved, as the highest allowed.
TEST_F(ToolDialogs, TheMp3BitratesFollowTheRate) {
    IniFile ini;
    ini.writeInteger("recorder", "mp3 frequency", 4);  // 22050 Hz: up to 160
    ini.writeInteger("recorder", "mp3 bitrate", 12);
    CdSetForRecorder = true;
    Tfm_cdset d;
    d.show();
    EXPECT_EQ(d.cbx_mp3bit->count(), 9);
    EXPECT_EQ(d.cbx_mp3bit->currentText(), "160");
    EXPECT_EQ(d.cbx_mp3vbrbit->currentText(), "128");
    d.cbx_frequency->setCurrentIndex(1);
    EXPECT_EQ(d.cbx_mp3bit->count(), 13);
    EXPECT_EQ(d.cbx_mp3bit->currentText(), "160") << "a higher rate keeps the bitrate";
    d.cbx_mp3bit->setCurrentIndex(12);
    d.cbx_frequency->setCurrentIndex(3);
    EXPECT_EQ(d.cbx_mp3bit->currentText(), "160");
    d.btn_okClick();
    EXPECT_EQ(ini.readInteger("recorder", "mp3 bitrate", -1), 8);
}

TEST_F(ToolDialogs, TheFolderChooserIsOkOnlyForAFolderCancelsOtherwiseAndRemembersSubfolders) {
    const QString folder = Q(dir);
    Tfm_directory d;
    d.show();
    d.selectFolder(folder);
    EXPECT_TRUE(d.btn_ok->isEnabled());
    d.btn_okClick();
    EXPECT_EQ(d.SelectedFolder, folder);

    d.show();
    d.stview_selectdir->setCurrentIndex({});
    EXPECT_FALSE(d.btn_ok->isEnabled());
    d.close();  // the frame's close box
    EXPECT_TRUE(d.SelectedFolder.isEmpty()) << "an earlier folder is not handed out again";

    // Through the presenter, as the tool windows ask.
    fm_directory = &d;
    for (bool ok : {true, false}) {
        presenter.setModalHandler([&](QWidget*) {
            d.show();
            d.selectFolder(folder);
            ok ? d.btn_okClick() : d.Btn_cancelClick();
            return d.result();
        });
        EXPECT_EQ(ChooseFolder(nullptr), ok ? folder : QString());
    }
    fm_directory = nullptr;

    // "Include Sub Directory", for a caller that offers it.
    d.cbx_sub->show();
    d.show();
    EXPECT_TRUE(d.cbx_sub->isChecked());
    d.cbx_sub->setChecked(false);
    d.selectFolder(folder);
    d.btn_okClick();
    EXPECT_FALSE(d.IncludeSubfolders);
    EXPECT_FALSE(IniFile().readBool("Basic", "subdir", true));
    EXPECT_TRUE(d.cbx_sub->isHidden()) << "only a caller that offers it shows it";
    d.cbx_sub->setChecked(true);
    d.show();
    EXPECT_FALSE(d.cbx_sub->isChecked()) << "remembered";
    d.close();
}

}  // namespace

// The folder chooser: OK only for a real folder, every other way out is a
// Cancel, and "Include Sub Directory" is remembered.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTreeView>

#include "platform/fakes.h"
#include "platform/inifile.h"
#include "testenv.h"
#include "tools/directory.h"

namespace {

TEST(FolderChooser, OkOnlyForAFolderEveryOtherWayOutCancelsAndSubfoldersAreRemembered) {
    const QString folder = QString::fromStdString(testenv::makeTempDir("pick"));
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
    FakeWindowPresenter presenter;
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

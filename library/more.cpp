#include "library/more.h"

#include "library/formcontrols.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"
#include "library/tageditorhost.h"
#include "platform/messageboxes.h"
#include "platform/presenter.h"

Tfm_more* fm_more = nullptr;

Tfm_more::Tfm_more(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("More Tags"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    infoCopyright = NewEdit(this, "infoCopyright");
    edt_composer = NewEdit(this, "edt_composer");
    edt_origar = NewEdit(this, "edt_origar");
    edt_encoded = NewEdit(this, "edt_encoded");
    edt_url = NewEdit(this, "edt_url");
    form->addRow(new SkinLabel(QStringLiteral("Copyright"), this), infoCopyright);
    form->addRow(new SkinLabel(QStringLiteral("Composer"), this), edt_composer);
    form->addRow(new SkinLabel(QStringLiteral("Original Artist"), this), edt_origar);
    form->addRow(new SkinLabel(QStringLiteral("Encoded By"), this), edt_encoded);
    form->addRow(new SkinLabel(QStringLiteral("URL"), this), edt_url);
    column->addLayout(form);
    auto* buttons = new QHBoxLayout;
    btn_save = NewButton(this, "btn_save", "Save");
    btn_clear = NewButton(this, "btn_clear", "Clear");
    btn_close = NewButton(this, "btn_close", "Close");
    btn_undo = NewButton(this, "btn_undo", "Cancel");
    buttons->addWidget(btn_save);
    buttons->addWidget(btn_clear);
    buttons->addStretch(1);
    buttons->addWidget(btn_close);
    buttons->addWidget(btn_undo);
    column->addLayout(buttons);
    connect(btn_save, &QPushButton::clicked, this, &Tfm_more::btn_saveClick);
    connect(btn_clear, &QPushButton::clicked, this, &Tfm_more::btn_clearClick);
    connect(btn_close, &QPushButton::clicked, this, &QDialog::close);
    // A Cancel that did nothing left users pressing it in vain: it leaves
    // without saving, as Cancel does everywhere.
    connect(btn_undo, &QPushButton::clicked, this, &QDialog::reject);
    resize(314, 207);
}

void Tfm_more::editFile(const std::string& path, TagEditorHost* host, QWidget* opener) {
    file_ = path;
    host_ = host;
    FormShow();
    CentreOver(this, opener);
    ShowModal(this);
}

void Tfm_more::FormShow() {
    resize(314, 207);
    if (host_) {
        if (SkinEngine* skin = host_->EditorSkin()) {
            skin->resetWindow(this);
            skin->applySkinSection(this, QStringLiteral("windows"));
        }
    }
    AudioInformation21 = AudioInformation();
    AudioInformation21.tagVersion = 2;
    if (!AudioInformation21.load(file_)) ShowError(QString::fromStdString(AudioInformation21.lastError()), this);
    infoCopyright->setText(QString::fromStdString(AudioInformation21.infoCopyright));
    edt_composer->setText(QString::fromStdString(AudioInformation21.infoComposer));
    edt_origar->setText(QString::fromStdString(AudioInformation21.infoOriginalArtist));
    edt_encoded->setText(QString::fromStdString(AudioInformation21.infoEncodedBy));
    edt_url->setText(QString::fromStdString(AudioInformation21.infoURL));
}

void Tfm_more::btn_saveClick() {
    if (file_.empty()) return;
    AudioInformation21.infoCopyright = infoCopyright->text().toStdString();
    AudioInformation21.infoComposer = edt_composer->text().toStdString();
    AudioInformation21.infoOriginalArtist = edt_origar->text().toStdString();
    AudioInformation21.infoEncodedBy = edt_encoded->text().toStdString();
    AudioInformation21.infoURL = edt_url->text().toStdString();
    // Every tag writer leaves the audio bytes the player reads where they
    // are, or puts a new file in the old one's place while the player keeps
    // the old one open: the file that plays goes on playing.
    AudioInformation21.tagVersion = 2;
    if (!AudioInformation21.save(file_)) ShowError(QString::fromStdString(AudioInformation21.lastError()), this);
}

void Tfm_more::btn_clearClick() {
    for (QLineEdit* edit : {infoCopyright, edt_composer, edt_origar, edt_encoded, edt_url}) edit->clear();
}

#pragma once
// Five further tag fields (copyright, composer, original artist, encoded by,
// URL) of the file whose row the tag editor shows, read and written through
// the audio information component. The tag editor offers it.
//
// Errors: a file whose tags cannot be read or written is told in a message
// box; the window stays open.

#include <QDialog>

#include <string>

#include "components/audio/audioinformation.h"

class QLineEdit;
class QPushButton;
class TagEditorHost;

class Tfm_more : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_more(QWidget* parent = nullptr);

    // Shows the window modally, centred over opener, for this file.
    void editFile(const std::string& path, TagEditorHost* host, QWidget* opener);
    const std::string& file() const { return file_; }

    QLineEdit* infoCopyright = nullptr;
    QLineEdit* edt_composer = nullptr;
    QLineEdit* edt_origar = nullptr;
    QLineEdit* edt_encoded = nullptr;
    QLineEdit* edt_url = nullptr;
    QPushButton* btn_save = nullptr;
    QPushButton* btn_clear = nullptr;
    QPushButton* btn_close = nullptr;
    QPushButton* btn_undo = nullptr;  // "Cancel"
    AudioInformation AudioInformation21;

    void FormShow();
    void btn_saveClick();
    void btn_clearClick();

private:
    std::string file_;
    TagEditorHost* host_ = nullptr;
};

extern Tfm_more* fm_more;

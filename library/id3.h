#pragma once
// The tag editor of the tracks selected in the main window's track list: a
// list of their files and two pages of tag fields ("ID3 V1 Tag", and "ID3 V2
// Tag" for MP3 files). A value typed while several rows of the list are
// selected goes into all of them when the field is left; OK writes the tags
// of the changed rows into their files, then their library records, nodes and
// list rows. The work behind the handlers is TagEditor's.
//
// A field counts as typed only when the user changed it: moving the focus
// through the fields, or a value the editor put there, changes nothing. Any
// other change of its text counts, by keys or not (an assistive tool sets
// the text without a key press and without taking the focus).
//
// Errors: a file whose tag cannot be written keeps its record and is named in
// one message box at the end, the other rows are written; a record file that
// cannot be written is told too. The window stays open.

#include <QDialog>

#include <vector>

#include "library/tageditor.h"

class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TagEditorHost;
class TvsComboBox;

class Tfm_Id3 : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_Id3(QWidget* parent = nullptr);

    // The main window, or a test's host; the editor does nothing without one.
    void setHost(TagEditorHost* host) { host_ = host; }
    TagEditor& editor() { return editor_; }
    const TagEditor& editor() const { return editor_; }
    // lv_playlist's rows of the editor's rows, in order.
    const std::vector<int>& SelectedTrackRows() const { return SelectedTrackRows_; }

    QTableWidget* lv = nullptr;
    QTabWidget* pgc_id3 = nullptr;
    QWidget* pgc_v1 = nullptr;
    QWidget* pgc_v2 = nullptr;
    QLineEdit* edt_v1title = nullptr;
    QLineEdit* edt_v1artist = nullptr;
    QLineEdit* edt_v1year = nullptr;
    QLineEdit* edt_v1album = nullptr;
    QLineEdit* edt_v1comment = nullptr;
    TvsComboBox* cb_genre = nullptr;
    QLineEdit* edt_v1track = nullptr;
    QPushButton* btn_v1copy = nullptr;
    QPushButton* btn_v1clear = nullptr;
    QLineEdit* edt_v2tit = nullptr;
    QLineEdit* edt_v2art = nullptr;
    QLineEdit* edt_v2year = nullptr;
    QLineEdit* edt_v2alb = nullptr;
    QLineEdit* edt_v2com = nullptr;
    TvsComboBox* cb_v2gen = nullptr;
    QLineEdit* edt_v2track = nullptr;
    QPushButton* btn_v2copy = nullptr;
    QPushButton* btn_v2clear = nullptr;
    QPushButton* Button2 = nullptr;  // "Previous"
    QPushButton* Button3 = nullptr;  // "Next"
    QPushButton* btn_more = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* Button1 = nullptr;  // "Close"

    void FormShow();
    void lvClick();
    void btn_v1copyClick();
    void btn_v2copyClick();
    void btn_v1clearClick();
    void btn_v2clearClick();
    void Button2Click();
    void Button3Click();
    void btn_okClick();
    void Button1Click();
    void btn_moreClick();

    // The rows selected in lv, lowest first.
    std::vector<int> selectedRows() const;
    void selectRows(const std::vector<int>& rows);
    // The path of the row the pages show (the lowest selected), or empty.
    std::string shownPath() const;
    // True while OK writes.
    bool writing() const { return writing_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Exit {
        QWidget* control;
        TagPage page;
        TagField field;  // unused for the genre lists
        bool genre;
    };

    void createControls();
    // Runs the exit handler of a control the user changed.
    void exitControl(QWidget* control);
    // The focused control's exit handler, for the commands that do not take
    // the focus first (a key, a default button).
    void commitFocusedControl();
    // A field's text changed by anything but the editor: it counts as typed,
    // and a field without the focus, which no focus loss will commit, is
    // committed at once.
    void fieldTextChanged(QLineEdit* edit);
    // The same for a genre list's item.
    void genreChanged(TvsComboBox* combo);
    void fillPages(std::size_t row);
    void emptyPages();
    void setPageV2Shown(bool shown);
    id3tag shownValues(TagPage page) const;
    void FormCloseQuery();
    void pruneNodes();

    TagEditorHost* host_ = nullptr;
    TagEditor editor_;
    std::vector<int> SelectedTrackRows_;
    std::vector<Exit> exits_;
    // Genre lists the user picked from since they were last set.
    std::vector<QWidget*> pickedGenres_;
    bool genresFilled_ = false;
    bool writing_ = false;
    bool clickPending_ = false;  // the selection changed while OK wrote
    bool selecting_ = false;
    bool puttingValues_ = false;  // the editor itself sets the fields
};

extern Tfm_Id3* fm_Id3;


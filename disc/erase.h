#pragma once
// Erases a rewritable disc through either writer window and waits, with the
// window responsive, until the writer reports 100 % or an error.

#include <QDialog>

class QProgressBar;
class QPushButton;
class QRadioButton;

// Told by a writer window after it has stored a progress or error event of
// its writer.
class EraseNotifier : public QObject {
    Q_OBJECT
signals:
    void changed();
};

// The side of a writer window that the erase dialog works through: its
// flags as its writer's events set them, its status line and its writer.
class EraseSide {
public:
    virtual ~EraseSide() = default;
    virtual bool writerError() const = 0;
    virtual void setWriterError(bool on) = 0;
    virtual int erasePercent() const = 0;
    virtual void setErasePercent(int percent) = 0;
    virtual bool progressSeen() const = 0;
    virtual void setProgressSeen(bool on) = 0;
    virtual void setEraseStatus(const QString& text) = 0;
    virtual void eraseDisc(bool quick) = 0;
    virtual void refreshWriter() = 0;
    virtual void cycleWriterIndexes() = 0;
    // Why the writer's last operation failed, for the message.
    virtual QString writerErrorReason() const { return {}; }
    virtual EraseNotifier* eraseNotifier() = 0;
};

class Tfm_erase : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_erase(QWidget* parent = nullptr);

    QRadioButton* rb_quick = nullptr;
    QRadioButton* rb_full = nullptr;
    QPushButton* btn_erase = nullptr;
    QProgressBar* bar = nullptr;

    // True: through the audio CD writer window; false: the data writer's.
    bool UseAudioWriter = false;
    // Set by the writer windows before they open the dialog.
    EraseSide* AudioWriterSide = nullptr;
    EraseSide* DataWriterSide = nullptr;

    void FormShow();
    void rb_quickClick();
    void rb_fullClick();
    void btn_eraseClick();
    void ResetEraseDialog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    EraseSide* side() const;
    const char* section() const;
};

extern Tfm_erase* fm_erase;

#pragma once
// The audio CD writer's "cache" conversion (TThreadConversion): every
// listed file becomes a CD-quality WAV (44.1 kHz, 16-bit, stereo) named
// "Track N.wav" in the folder it is given, a private folder of the burn.
// Several files are converted at once, each by a decoder thread of its own,
// as a burn straight from the files decodes them; the rows are still
// settled in list order, so the questions and messages come as the list
// reads. It asks and tells through its handler, as the window would, and
// ends with the list of what it converted. Stopped, it deletes what it made
// before it reports, so the window never removes a file the job is still
// writing.

#include <QString>
#include <QStringList>

#include <atomic>

#include "jobs/tooljob.h"

class CdConversionJob : public ToolJob {
    Q_OBJECT
public:
    // decoders: how many files are converted at once; 0 chooses from the
    // machine's cores.
    CdConversionJob(QStringList sources, QString folder, JobHandler* handler, QObject* handlerContext,
                    int decoders = 0);

    // Reports the file's progress through percent() and the status text
    // through infoMessage().
signals:
    // The last report but ended: the converted files and their sources, in
    // list order; both empty when stopped.
    void converted(const QStringList& files, const QStringList& sources, bool stopped);

protected:
    bool work() override;

private:
    // How a row's conversion ended; Pending until it has.
    enum class Outcome { Pending, Converted, Missing, NotOpened, Empty, CreateFailed, ReadFailed, WriteFailed, Halted };

    // On a decoder thread: the row's file into its temporary WAV, percent
    // following it, until halt.
    Outcome convertRow(int row, std::atomic<int>& percent, const std::atomic<bool>& halt) const;
    QString tempName(int row) const;

    QStringList sources_;
    QString folder_;
    int decoders_;
};

#pragma once
// The cut: writes a range of one audio file, given in per mille of its
// length, into folder + "cut" + the source's name, in the source's format.
// The range is read in whole frames of at most one second, so a range of
// any length ends with exactly its frames. A stop, a failed write or a
// refused error question leave nothing under the output's name.

#include <QString>

#include "jobs/tooljob.h"

struct CutSettings {
    QString source;
    int startPermille = 0;  // 0..1000
    int endPermille = 1000;
    QString outputFolder;
};

// folder + "/" + "cut" + the source's file name.
QString CutOutputPath(const QString& folder, const QString& source);
// The frame at a per mille of a length, rounded as the bars' times are.
int64_t CutFrameAt(int permille, int64_t length);

class CutJob : public ToolJob {
    Q_OBJECT
public:
    CutJob(CutSettings settings, JobHandler* handler, QObject* handlerContext);

signals:
    // The output was created and the copy begins: Add, Play and Cut go off,
    // Stop on.
    void cutStarted();

protected:
    bool work() override;

private:
    const CutSettings settings_;
};

#pragma once
// The combine: joins the sources, in their order, into one output file of a
// chosen format. Each source is read in blocks of at most one second and
// written through one writer, which converts each source's rate and
// channels to the output's. The output is written under a temporary name
// and takes its place only when every source went in whole: a stop, a
// source that cannot be read or a failed write leave nothing under the
// output's name, and an output that is one of the sources replaces it only
// at the end, after it was read.

#include <QString>
#include <QStringList>

#include "jobs/outputformat.h"
#include "jobs/tooljob.h"

using CombineFormat = OutputKind;

// The extension of a format's files, with its dot.
QString CombineExtension(CombineFormat format);
// The output's name without extension: the typed name cleaned of the
// characters a file name cannot hold, "Newcombine" when nothing is left.
QString CombineOutputName(const QString& typed);

// The writer's parameters are the OutputFormat's; format is its kind.
struct CombineSettings : OutputFormat {
    QStringList sources;
    QString outputFolder;
    QString fileName;  // as typed
    CombineFormat format = CombineFormat::Mp3;
};

class CombineJob : public ToolJob {
    Q_OBJECT
public:
    CombineJob(CombineSettings settings, JobHandler* handler, QObject* handlerContext);

    // The output's full path.
    QString outputPath() const;

protected:
    bool work() override;

private:
    bool configure(AudioFile& writer);
    void setTotal(int percent);

    const CombineSettings settings_;
};

// The data CD's two long steps against the command-line tools doing the
// same, on one generated tree of 550 MB (50 files of 10 MB, 50 of 1 MB, 500
// small ones in nested folders):
// - writing it as an ISO image with Joliet and Rock Ridge, against
//   `xorriso -as mkisofs -J -R` (the same engine underneath);
// - staging it (the copy into the staging folder that a drop makes),
//   against `cp -r`.
// Both sides alternate, five rounds, warm cache; medians and the ratio of
// rates are printed.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "bench/support/benchsupport.h"
#include "components/discwriter/datadiscwriter.h"
#include "disc/compilation.h"
#include "disc/compilationadder.h"

namespace {

void WriteNoise(const std::string& path, size_t bytes, uint32_t seed)
{
    std::vector<uint32_t> words(bytes / 4 + 1);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& w : words) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        w = x;
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(words.data()), std::streamsize(bytes));
}

int64_t MakeTree(const std::string& root)
{
    int64_t total = 0;
    for (const char* d : {"/Albums", "/Albums/Live", "/Singles", "/Singles/Notes", "/Singles/Notes/Small"})
        mkdir((root + d).c_str(), 0755);
    for (int i = 0; i < 50; ++i) {
        WriteNoise(root + "/Albums/Live/track" + std::to_string(i) + ".bin", 10000000, i + 1);
        WriteNoise(root + "/Singles/single" + std::to_string(i) + ".dat", 1000000, i + 100);
        total += 11000000;
    }
    for (int i = 0; i < 500; ++i) {
        const std::string text = "small file " + std::to_string(i) + "\n";
        std::ofstream(root + "/Singles/Notes/Small/s" + std::to_string(i) + ".txt") << text;
        total += int64_t(text.size());
    }
    return total;
}

struct NullView : CompilationView {
    void setStatus(const QString&) override {}
    void totalChanged() override {}
    void pump() override {}
    void rowAdded(int, bool) override {}
    void rowChanged(int, bool) override {}
    void foldersChanged() override {}
};

double WriteOurs(const std::string& tree, const std::string& folder)
{
    DataDiscWriter writer;
    writer.setDrivesListed(false);
    writer.setImageFolder(QString::fromStdString(folder));
    writer.initialize();
    writer.setDeviceIndex(1);
    std::remove(writer.imagePath().toLocal8Bit().constData());
    for (const char* top : {"/Albums", "/Singles"})
        writer.addPath(QString::fromStdString(tree + top));
    bool ok = false;
    QEventLoop loop;
    QObject::connect(&writer, &DataDiscWriter::onOperationProgress, &loop, [&](int percent) {
        if (writer.currentOperation() == DiscRecorder::FinalizeOperation && percent == 100) {
            ok = true;
            loop.quit();
        }
    });
    QObject::connect(&writer, &DataDiscWriter::onError, &loop, [&] { loop.quit(); });
    const auto start = bench::Clock::now();
    writer.write();
    if (writer.isBusy())
        loop.exec();
    const double seconds = bench::SecondsSince(start);
    std::remove(writer.imagePath().toLocal8Bit().constData());
    return ok ? seconds : -1;
}

double WriteXorriso(const std::string& tree, const std::string& folder)
{
    const std::string out = folder + "/peer.iso";
    std::remove(out.c_str());
    bench::ProcessOptions options;
    options.timeoutSeconds = 600;
    const bench::ProcessRun run =
        bench::RunProcess({"xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "-V", "New Disc", "-o", out,
                           tree + "/Albums", tree + "/Singles"},
                          options);
    std::remove(out.c_str());
    return run.ok ? run.seconds : -1;
}

double StageOurs(const std::string& tree, const std::string& folder)
{
    Compilation compilation(folder + "/burnquilltemp");
    compilation.reset();
    NullView view;
    CompilationAdder adder(compilation, view);
    adder.measureFreeSpace();
    const auto start = bench::Clock::now();
    adder.drop({QString::fromStdString(tree + "/Albums"), QString::fromStdString(tree + "/Singles")},
               compilation.root());
    const double seconds = bench::SecondsSince(start);
    const bool ok = compilation.FileCount() == 600;
    DeleteFolderContents(compilation.stagingFolder());
    return ok ? seconds : -1;
}

double StageCp(const std::string& tree, const std::string& folder)
{
    const std::string out = folder + "/cpcopy";
    mkdir(out.c_str(), 0700);
    bench::ProcessOptions options;
    const bench::ProcessRun run = bench::RunProcess({"cp", "-r", tree + "/Albums", tree + "/Singles", out}, options);
    DeleteFolderContents(out);
    return run.ok ? run.seconds : -1;
}

void Report(const char* what, std::vector<double> ours, std::vector<double> peer, const char* peerName, double floor)
{
    std::printf("%-28s ours %s s, %s %s s (median [range]): rate ratio %s (aim >= %.2f)\n", what,
                bench::Figure(ours).c_str(), peerName, bench::Figure(peer).c_str(),
                bench::RatioFigure(peer, ours).c_str(), floor);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::TempFolder tree("datacd-tree");
    bench::TempFolder work("datacd-work");
    const int64_t bytes = MakeTree(tree.path());
    std::printf("tree: %.1f MB in 600 files\n", double(bytes) / 1e6);

    // One round each first, so the tree is in the page cache for both.
    WriteOurs(tree.path(), work.path());
    WriteXorriso(tree.path(), work.path());
    std::vector<double> ours, peer;
    bench::InTurns(
        5, [&] { ours.push_back(WriteOurs(tree.path(), work.path())); },
        [&] { peer.push_back(WriteXorriso(tree.path(), work.path())); });
    Report("ISO image of 550 MB", ours, peer, "xorriso -as mkisofs", 0.95);

    std::vector<double> stage, cp;
    bench::InTurns(
        5, [&] { stage.push_back(StageOurs(tree.path(), work.path())); },
        [&] { cp.push_back(StageCp(tree.path(), work.path())); });
    Report("staging 550 MB", stage, cp, "cp -r", 0.8);
    return 0;
}

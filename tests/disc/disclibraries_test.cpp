// The disc libraries are loaded when first used, not with the program. One
// that cannot be loaded must leave the grabber and the writers failing with
// its name and the loader's reason, not crashing. The loader reads the
// library path once, when a process starts, so the checks run in a child of
// this binary started with a folder of broken libraries first on that path.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "components/disc/cdgrabber.h"
#include "components/discwriter/burnlibrary.h"
#include "components/discwriter/datadiscwriter.h"

namespace {

constexpr char kChild[] = "TUNEVALE_BROKEN_DISC_LIBRARIES";

struct ReadableWriter : DataDiscWriter {
    using DataDiscWriter::readDisc;
};

void checkBrokenLibrariesAreReported() {
    QTemporaryDir images;
    ASSERT_TRUE(images.isValid());
    CdGrabber grabber;
    grabber.setImageFolder(images.path().toStdString());
    EXPECT_EQ(grabber.driveCount(), 0);
    EXPECT_FALSE(grabber.readToc());
    EXPECT_NE(grabber.tocProblem().find("libcdio.so.19"), std::string::npos) << grabber.tocProblem();
    EXPECT_NE(grabber.tocProblem().find("file too short"), std::string::npos) << grabber.tocProblem();

    // The audio writer's recorder that cannot be used says why.
    EXPECT_FALSE(InitializeBurnLibrary());
    EXPECT_TRUE(TakeBurnMessages().contains("libburn.so.4")) << TakeBurnMessages().toStdString();

    ReadableWriter writer;
    DiscRecorder::DiscState state;
    const DiscRecorder::Failure failure = writer.readDisc(0, &state);
    EXPECT_EQ(failure.code, DiscRecorder::NoRecorder);
    EXPECT_TRUE(failure.text.contains("libburn.so.4")) << failure.text.toStdString();
}

TEST(DiscLibraries, OneThatCannotBeLoadedIsNamedWhereItWasNeeded) {
    if (qEnvironmentVariableIsSet(kChild)) {
        checkBrokenLibrariesAreReported();
        return;
    }
    QTemporaryDir broken;
    ASSERT_TRUE(broken.isValid());
    for (const char* name : {"libcdio.so.19", "libburn.so.4"}) {
        QFile file(broken.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a library");
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChild, "1");
    env.insert("LD_LIBRARY_PATH", broken.path() + ":" + env.value("LD_LIBRARY_PATH"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=DiscLibraries.OneThatCannotBeLoadedIsNamedWhereItWasNeeded"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
}

}  // namespace

// The conversion job without a window: how it plans its blocks (sizes, the
// rest of the file read as one block, where fades go) and the indexes of
// its encoder lists, what each target writes (checked by decoding, also
// with the ffmpeg command line), normalize and fade levels, the order of
// the reports, pause and stop, overwriting, bad sources and outputs that
// cannot be created. A full disk is a row of the cut and combine jobs' test.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "audiotestutil.h"
#include "components/audio/audioinformation.h"
#include "conversiontestutil.h"
#include "testenv.h"
#include "jobs/blockplanner.h"
#include "jobs/encodertables.h"
#include "jobs/tooljob.h"

#include <QFile>
#include <QFileInfo>

#include <random>

#include "components/audio/riffinfo.h"
#include "tags/asf/asfattributes.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- planning

constexpr int64_t R = 44100;

struct PlanRow {
    const char* what;
    BlockPlanInput in;
    BlockPlan expected;
};

BlockPlanInput In(int64_t lengthS, double positionS, int channels, bool fade, int fadeIn, int fadeOut, bool normalize) {
    return {lengthS * R, static_cast<int64_t>(positionS * R), R, channels, fade, fadeIn, fadeOut, normalize};
}

class PlanBlockTest : public ::testing::TestWithParam<PlanRow> {};

TEST_P(PlanBlockTest, Plans) {
    const PlanRow& row = GetParam();
    const BlockPlan p = PlanBlock(row.in), e = row.expected;
    EXPECT_EQ(std::tuple(p.request, p.restOfFile, p.fadeIn, p.fadeOut), std::tuple(e.request, e.restOfFile, e.fadeIn, e.fadeOut))
        << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlanBlockTest,
    ::testing::Values(
        PlanRow{"plain blocks hold 4R samples", In(60, 0, 2, false, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"plain, in the middle", In(60, 30, 2, false, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"no rest-read without fade or normalize", In(60, 59.5, 2, false, 10, 20, false),
                {4 * R, false, false, false}},
        PlanRow{"first faded block holds the fade-in", In(30, 0, 2, true, 10, 20, false), {10 * R * 2, false, true, false}},
        PlanRow{"30 s, 10 and 20: the rest is one faded-out block", In(30, 10, 2, true, 10, 20, false),
                {20 * R * 2, true, false, true}},
        PlanRow{"far from the end", In(60, 10, 2, true, 10, 20, false), {4 * R, false, false, false}},
        PlanRow{"a fade-out of 1 s on stereo is heard", In(10, 8.5, 2, true, 5, 1, false),
                {static_cast<int64_t>(1.5 * R) * 2, true, false, true}},
        PlanRow{"a fade-out of 2 s on mono is heard", In(10, 8, 1, true, 5, 2, false), {2 * R, true, false, true}},
        PlanRow{"fade-out 0: the rest is read, not faded", In(10, 9.5, 2, true, 5, 0, false),
                {static_cast<int64_t>(0.5 * R) * 2, true, false, false}},
        PlanRow{"a fade-in of 0 s asks for a plain block", In(30, 0, 2, true, 0, 20, false), {4 * R, false, false, false}},
        PlanRow{"normalize alone reads the last 16 s at once", In(60, 45, 2, false, 10, 20, true),
                {15 * R * 2, true, false, false}},
        PlanRow{"normalize alone, 17 s left", In(60, 43, 2, false, 10, 20, true), {4 * R, false, false, false}},
        PlanRow{"a length that fell short still asks for audio", In(10, 12, 2, true, 5, 5, true),
                {4 * R, false, false, false}}));

TEST(EncoderTables, ListIndexesNameWhatTheyShow) {
    using namespace encodertables;
    // The OGG list starts at "48kb" while its table starts at 40.
    EXPECT_EQ(ConverterOggBitrate(0), 48);
    EXPECT_EQ(ConverterOggBitrate(6), 128);
    EXPECT_EQ(ConverterOggBitrate(11), 320);
    EXPECT_EQ(At(WmaProfileIds, 7), 24);
    EXPECT_EQ(At(WmaProfileIds, 17), 51);
    EXPECT_EQ(At(kConverterMp3Rates, -1), 8000);
    EXPECT_EQ(At(kConverterMp3Rates, 99), 48000);
    EXPECT_EQ(WmaFormatTexts().size(), 18);
    EXPECT_TRUE(WmaHelpText(18).isNull());
}

// A file whose reader tells no duration, or a rate of 0, must not divide by zero.
TEST(FramesPerSecond, FallsBackWhenLengthOrDurationCannotTell) {
    EXPECT_EQ(FramesPerSecond(441000, 0, 22050), 22050);
    EXPECT_EQ(FramesPerSecond(0, 0, 0), 1);
}

// ---------------------------------------------------------------- the job

class ConversionJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        src_ = testenv::makeTempDir("sources");
        MakeTone(src_ + "/a.wav", 3.0);
        MakeTone(src_ + "/b.mp3", 3.0);
    }
    void SetUp() override { out_ = testenv::makeTempDir("out"); }

    ConversionSettings settings(TargetFormat target) const {
        ConversionSettings s;
        s.target = target;
        s.outputFolder = Q(out_);
        return s;
    }

    static std::string src_;
    std::string out_;
    ScriptedHandler handler_;
};
std::string ConversionJobTest::src_;

// ---------------------------------------------------------------- targets

struct TargetRow {
    const char* what;
    TargetFormat target;
    std::function<void(ConversionSettings&)> set;
    int rate, channels;
};

class ConversionTargets : public ConversionJobTest, public ::testing::WithParamInterface<TargetRow> {};

TEST_P(ConversionTargets, OutputsDecodeWithTheirFormatChannelsApartAndTags) {
    const TargetRow& row = GetParam();
    SCOPED_TRACE(row.what);
    ConversionSettings s = settings(row.target);
    row.set(s);
    const JobReport report = RunJob(s, {Q(src_ + "/a.wav"), Q(src_ + "/b.mp3")}, handler_);
    EXPECT_EQ(report.states, QStringList({"0 Converting", "0 finish", "1 Converting", "1 finish"}));
    EXPECT_TRUE(report.endStep);
    EXPECT_TRUE(handler_.told.isEmpty()) << handler_.told.join("\n").toStdString();
    for (const char* name : {"a", "b"}) {
        const std::string path = out_ + "/" + name + TargetExtension(row.target).toStdString();
        const Decoded d = decode(path);
        ASSERT_TRUE(d.ok) << path;
        EXPECT_EQ(d.rate, row.rate);
        EXPECT_EQ(d.channels, row.channels);
        // WMA loses at most its last partial frame; MP3 sources bring their
        // own few frames of padding.
        EXPECT_NEAR(static_cast<double>(d.frames()), 3.0 * row.rate, 2048 + 0.03 * row.rate) << name;
        if (row.channels == 2) {
            EXPECT_EQ(dominantFrequency(d.samples, 2, 0, d.rate, d.rate, d.rate / 2, {1000, 2000}), 1000);
            EXPECT_EQ(dominantFrequency(d.samples, 2, 1, d.rate, d.rate, d.rate / 2, {1000, 2000}), 2000);
        }
        AudioInformation tags;
        ASSERT_TRUE(tags.load(path));
        EXPECT_EQ(tags.infoTitle, "Tone") << name;
        EXPECT_EQ(tags.infoArtist, "Maker") << name;
        // Other players read it too.
        EXPECT_EQ(ProbeStream(path), std::to_string(row.rate) + "," + std::to_string(row.channels));
        EXPECT_EQ(testenv::run("ffmpeg -v error -i " + testenv::shellQuote(path) + " -f null -"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Each, ConversionTargets,
    ::testing::Values(
        TargetRow{"mp3 44100 stereo 128", TargetFormat::Mp3, [](ConversionSettings& s) { s.mp3.channelMode = 2; },
                  44100, 2},
        // The MP3 converter's first-run defaults: a bitrate the rate does not
        // allow is brought down, not refused.
        TargetRow{"mp3 11025 at 128", TargetFormat::Mp3,
                  [](ConversionSettings& s) { s.mp3.sampleRate = 11025, s.mp3.channelMode = 2; }, 11025, 2},
        TargetRow{"wav 22050 8-bit", TargetFormat::Wav,
                  [](ConversionSettings& s) { s.wavRate = 22050, s.wavBits = 8; }, 22050, 2},
        TargetRow{"ogg 48000 128", TargetFormat::Ogg, [](ConversionSettings& s) { s.oggRate = 48000; }, 48000, 2},
        // A bitrate libvorbis refuses for mono still gives a file.
        TargetRow{"ogg mono 320", TargetFormat::Ogg,
                  [](ConversionSettings& s) { s.oggChannels = 1, s.oggKbps = 320; }, 44100, 1},
        TargetRow{"wma 128", TargetFormat::Wma, [](ConversionSettings& s) { s.wmaProfile = 24; }, 44100, 2},
        TargetRow{"wma 8000 mono 6 kbps", TargetFormat::Wma, [](ConversionSettings& s) { s.wmaProfile = 17; }, 8000,
                  1}));

// ---------------------------------------------------------------- levels

// Left: 3 s at -30 dB then 3 s at -6 dB; right: -20 dB throughout.
TEST_F(ConversionJobTest, NormalizeGivesOneGainPerFileAndPerChannelIntoWav) {
    const int rate = 44100;
    AudioBlock quiet = sine(rate, 2, 3.0, {1000, 2000}, 0.0316);
    AudioBlock loud = sine(rate, 2, 3.0, {1000, 2000}, 0.5);
    AudioBlock block = quiet;
    block.samples.insert(block.samples.end(), loud.samples.begin(), loud.samples.end());
    for (size_t i = 1; i < block.samples.size(); i += 2)
        block.samples[i] = static_cast<int16_t>(std::lround(0.1 * 32767 * std::sin(2 * M_PI * 2000.0 * (i / 2) / rate)));
    encode(src_ + "/steps.wav", block, rate, 2);
    // A compressed source is decoded once: its audio is kept from the peak pass.
    encode(src_ + "/steps.ogg", block);
    // An output that is its own source: the source is read to its end.
    encode(out_ + "/steps.wav", block, rate, 2);

    const std::pair<std::string, TargetFormat> rows[] = {{out_ + "/steps.wav", TargetFormat::Wav},
                                                         {src_ + "/steps.wav", TargetFormat::Mp3},
                                                         {src_ + "/steps.ogg", TargetFormat::Wav}};
    for (const auto& [source, target] : rows) {
        SCOPED_TRACE(source + TargetExtension(target).toStdString());
        ConversionSettings s = settings(target);
        s.normalize = true;
        s.ratio = 98;
        s.mp3.channelMode = 2;
        ASSERT_EQ(RunJob(s, {Q(source)}, handler_).states.last(), "0 finish");
        const Decoded d = decode(out_ + "/steps" + TargetExtension(target).toStdString());
        ASSERT_TRUE(d.ok);
        ASSERT_EQ(d.frames(), 6 * rate);
        const double leftQuiet = rms(d.samples, 2, 0, rate / 2, 5 * rate / 2);
        const double leftLoud = rms(d.samples, 2, 0, 7 * rate / 2, 11 * rate / 2);
        // The step of 24 dB stays: no block was raised on its own.
        EXPECT_NEAR(20 * std::log10(leftLoud / leftQuiet), 24.0, 0.5);
        if (target == TargetFormat::Wav) {
            // Each channel's peak is brought to 98 %.
            for (int c = 0; c < 2; ++c) {
                int top = 0;
                for (size_t i = c; i < d.samples.size(); i += 2) top = std::max(top, std::abs(int{d.samples[i]}));
                EXPECT_NEAR(top, 0.98 * 32767, 2) << c;
            }
        } else {
            // One gain for both channels keeps their balance.
            EXPECT_NEAR(leftLoud, 0.98 / std::sqrt(2.0), 0.04);
            EXPECT_NEAR(rms(d.samples, 2, 1, rate, 5 * rate), 0.196 / std::sqrt(2.0), 0.01);
        }
        fs::remove(out_ + "/steps" + TargetExtension(target).toStdString());
    }
}

TEST_F(ConversionJobTest, FadesCoverTheirBlocks) {
    const int rate = 22050;
    encode(src_ + "/long.wav", sine(rate, 2, 30.0, {440}, 0.5), rate, 2);
    const double full = 0.5 / std::sqrt(2.0);
    struct {
        int fadeIn, fadeOut;
    } rows[] = {{10, 20}, {5, 1}};  // a fade-out to the end; a fade-out of the last second
    for (const auto& row : rows) {
        ConversionSettings s = settings(TargetFormat::Wav);
        s.wavRate = rate;
        s.fade = true;
        s.fadeIn = row.fadeIn;
        s.fadeOut = row.fadeOut;
        RunJob(s, {Q(src_ + "/long.wav")}, handler_);
        const Decoded d = decode(out_ + "/long.wav");
        ASSERT_EQ(d.frames(), 30 * rate);
        const int64_t in = row.fadeIn * rate;
        EXPECT_LT(rms(d.samples, 2, 0, 0, rate / 2), 0.1 * full) << row.fadeOut;
        EXPECT_GT(rms(d.samples, 2, 0, in - rate / 2, in), 0.9 * full) << row.fadeOut;
        if (row.fadeOut == 1) {
            EXPECT_GT(rms(d.samples, 2, 1, 15 * rate, 16 * rate), 0.98 * full);
        }
        EXPECT_LT(rms(d.samples, 2, 0, 30 * rate - rate / 20, 30 * rate), 0.05 * full) << row.fadeOut;
    }
}

// ---------------------------------------------------------------- control

TEST_F(ConversionJobTest, ReportsArriveInOrderAndPauseAndStopHold) {
    const QStringList three = {Q(src_ + "/b.mp3"), Q(src_ + "/a.wav"), Q(src_ + "/short.wav")};
    MakeTone(src_ + "/short.wav", 1.0);
    ConversionSettings s = settings(TargetFormat::Ogg);

    // The question about a.ogg is a fixed point of the batch: the job is
    // paused there and must stand still before its first block. Yes
    // replaces the old file, read-only as it is.
    testenv::writeFile(out_ + "/a.ogg", "placeholder");
    fs::permissions(out_ + "/a.ogg", fs::perms::owner_read | fs::perms::group_read);
    handler_.answer = [this](const QString&) {
        handler_.job->pause();
        return true;
    };
    bool held = false;
    JobReport r = RunJob(s, three, handler_, [&](ConversionJob& job, const JobReport& rep) {
        if (held || !rep.states.endsWith("1 Converting")) return;
        held = true;
        const size_t reports = rep.progress.size();
        for (int i = 0; i < 30; ++i) {
            QThread::msleep(10);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(rep.progress.size(), reports);
        EXPECT_TRUE(job.isRunning());
        job.resume();
    });
    EXPECT_TRUE(held);
    EXPECT_EQ(r.states, QStringList({"0 Converting", "0 finish", "1 Converting", "1 finish", "2 Converting",
                                     "2 finish"}));
    // Each row counts up from 0 to 100; the end puts the bar back to 0.
    EXPECT_EQ(std::count(r.progress.begin(), r.progress.end(), 100), 3);
    EXPECT_TRUE(std::is_sorted(r.progress.begin(), r.progress.begin() + (r.progress.size() / 3)));
    EXPECT_EQ(r.progress.back(), 0);
    EXPECT_EQ(decode(out_ + "/a.ogg").frames(), 3 * 44100);

    // Stop while paused there ends the batch at once; the row under way
    // leaves no output under its name and the next row never starts.
    const std::string stopped = testenv::makeTempDir("stopped");
    s.outputFolder = Q(stopped);
    testenv::writeFile(stopped + "/a.ogg", "placeholder");
    r = RunJob(s, three, handler_, [&](ConversionJob& job, const JobReport& rep) {
        if (rep.states.endsWith("1 Converting")) job.stop();
    });
    EXPECT_EQ(r.states, QStringList({"0 Converting", "0 finish", "1 Converting", "1 unconvert"}));
    EXPECT_TRUE(r.endStep);
    EXPECT_TRUE(!fs::exists(stopped + "/a.ogg") || testenv::readFile(stopped + "/a.ogg") == "placeholder");
    EXPECT_FALSE(fs::exists(stopped + "/short.ogg"));
    handler_.answer = [](const QString&) { return true; };
}

// ---------------------------------------------------------------- bad input

TEST_F(ConversionJobTest, BadSourcesFailTheirRowAndTheBatchGoesOn) {
    testenv::writeFile(src_ + "/noise.mp3", std::string(5000, '\x5a'));
    // An MP3 whose header promises 10 s but holds about 3.
    encode(src_ + "/cut.mp3", sine(44100, 2, 10.0, {440}));
    fs::resize_file(src_ + "/cut.mp3", fs::file_size(src_ + "/cut.mp3") * 3 / 10);
    // An output that cannot be created: a folder stands in its place.
    fs::create_directories(out_ + "/a.wav");
    // An old output kept: No to the question skips the row.
    testenv::writeFile(out_ + "/b.wav", "keep me");
    handler_.answer = [](const QString& text) { return !text.endsWith("/b.wav already exists. Overwrite?"); };

    // A missing source fails its row too; the batch goes on after it.
    JobReport r = RunJob(settings(TargetFormat::Wav),
                         {Q(src_ + "/noise.mp3"), Q(src_ + "/a.wav"), Q(src_ + "/cut.mp3"),
                          Q(src_ + "/b.mp3"), Q(src_ + "/gone.wav"), Q(src_ + "/noise.mp3")},
                         handler_);
    EXPECT_EQ(r.states,
              QStringList({"0 failed", "1 Converting", "1 failed", "2 Converting", "2 finish", "4 failed", "5 failed"}));
    EXPECT_EQ(handler_.told, QStringList({"ERROR!|Failed to open file " + Q(src_) + "/noise.mp3",
                                          "ERROR!|Failed to create file " + Q(out_) + "/a.wav",
                                          "Information|gone.wav has been removed",
                                          "ERROR!|Failed to open file " + Q(src_) + "/noise.mp3"}));
    EXPECT_TRUE(handler_.texts.contains(Q(out_) + "/b.wav already exists. Overwrite?"));
    EXPECT_EQ(testenv::readFile(out_ + "/b.wav"), "keep me");
    const Decoded cut = decode(out_ + "/cut.wav");
    EXPECT_GT(cut.frames(), 2 * 44100);
    EXPECT_LT(cut.frames(), 4 * 44100);

    // WMA tells of a moved file.
    handler_.told.clear();
    RunJob(settings(TargetFormat::Wma), {Q(src_ + "/gone.wav")}, handler_);
    EXPECT_EQ(handler_.told, QStringList({"Information|gone.wav has been moved"}));
}

// ---------------------------------------------------------------- in place

tags::ByteVector Picture(size_t size) {
    std::mt19937 gen(11);
    tags::ByteVector bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(gen());
    return bytes;
}

// What each format holds beyond the converter's fields: a picture and a
// frame, comment, attribute or item of a kind the converter never writes.
struct InPlaceRow {
    const char* ext;
    TargetFormat target;
    std::function<void(const std::string&)> add;
    std::function<bool(const std::string&)> kept;
};

void PrintTo(const InPlaceRow& row, std::ostream* out) { *out << row.ext; }

class NormalizeInPlace : public ConversionJobTest, public ::testing::WithParamInterface<InPlaceRow> {};

// Normalizing into the source's own folder replaces the source: the new
// file keeps every tag the old one had, not only the fields.
TEST_P(NormalizeInPlace, KeepsEveryTagOfTheSource) {
    const InPlaceRow& row = GetParam();
    const std::string path = out_ + "/song." + row.ext;
    MakeTone(path, 2.0);
    row.add(path);
    ASSERT_TRUE(row.kept(path));
    ConversionSettings s = settings(row.target);
    s.normalize = true;
    const JobReport report = RunJob(s, {Q(path)}, handler_);
    EXPECT_EQ(report.states, QStringList({"0 Converting", "0 finish"}));
    EXPECT_EQ(handler_.texts, QStringList({Q(path) + " already exists. Overwrite?"}));
    EXPECT_TRUE(row.kept(path));
    AudioInformation fields;
    ASSERT_TRUE(fields.load(path));
    EXPECT_EQ(fields.infoTitle, "Tone");
    EXPECT_EQ(fields.infoArtist, "Maker");
    EXPECT_GT(decode(path).frames(), 44100);
}

INSTANTIATE_TEST_SUITE_P(
    Each, NormalizeInPlace,
    ::testing::Values(
        InPlaceRow{"mp3", TargetFormat::Mp3,
                   [](const std::string& p) {
                       tags::Id3v2Tag tag;
                       tags::ReadId3v2Frames(p, tag);
                       tag.frames().push_back({"APIC", 0, Picture(300 * 1024)});
                       tag.frames().push_back({"TXXX", 0, tags::EncodeId3v2Text("REPLAYGAIN_TRACK_GAIN", 64)});
                       ASSERT_TRUE(tags::WriteId3v2Frames(p, tag).ok);
                   },
                   [](const std::string& p) {
                       tags::Id3v2Tag tag;
                       ID3v1Block block;
                       if (!tags::ReadId3v2Frames(p, tag) || !ReadID3v1Tag(p, block) || !block.hasMagic()) return false;
                       int found = 0;
                       for (const tags::Id3v2Frame& f : tag.frames())
                           found += (f.id == "APIC" && f.data == Picture(300 * 1024)) || f.id == "TXXX";
                       return found == 2 && block.title() == "Tone";
                   }},
        InPlaceRow{"ogg", TargetFormat::Ogg,
                   [](const std::string& p) {
                       ASSERT_TRUE(tags::WriteOggComments(p, {{"METADATA_BLOCK_PICTURE", std::string(40000, 'Q')},
                                                              {"REPLAYGAIN_TRACK_GAIN", "-3.20 dB"}})
                                       .ok);
                   },
                   [](const std::string& p) {
                       TStrComments comments;
                       if (!tags::ReadOggComments(p, comments)) return false;
                       int found = 0;
                       for (const TStrComment& c : comments)
                           found += (c.Key == "METADATA_BLOCK_PICTURE" && c.Value == std::string(40000, 'Q')) ||
                                    (c.Key == "REPLAYGAIN_TRACK_GAIN" && c.Value == "-3.20 dB");
                       return found == 2;
                   }},
        InPlaceRow{"wma", TargetFormat::Wma,
                   [](const std::string& p) {
                       auto file = tags::AsfFile::Load(p);
                       ASSERT_TRUE(file);
                       file->header().append({u"WM/Picture", tags::AsfType::Bytes, Picture(30000)});
                       file->header().append({u"WM/Picture", tags::AsfType::Bytes, Picture(20000)});
                       ASSERT_TRUE(file->Save().ok);
                   },
                   [](const std::string& p) {
                       auto file = tags::AsfFile::Load(p);
                       if (!file) return false;
                       std::vector<size_t> pictures;
                       for (const tags::AsfDescriptor& d : file->header().descriptors())
                           if (d.name == u"WM/Picture") pictures.push_back(d.value.size());
                       return pictures == std::vector<size_t>{30000, 20000};
                   }},
        InPlaceRow{"wav", TargetFormat::Wav,
                   [](const std::string& p) {
                       audio::RiffInfoItems items;
                       audio::readRiffInfo(p, items);
                       items.emplace_back("ISFT", "Tone maker 2");
                       ASSERT_TRUE(audio::writeRiffInfo(p, items).ok);
                   },
                   [](const std::string& p) {
                       audio::RiffInfoItems items;
                       audio::readRiffInfo(p, items);
                       return std::count(items.begin(), items.end(), std::pair<std::string, std::string>("ISFT", "Tone maker 2")) == 1;
                   }}),
    [](const ::testing::TestParamInfo<InPlaceRow>& info) { return std::string(info.param.ext); });

// A tag that cannot be written to a finished output (here the disk fills
// up when the tag is added) fails the row and goes to the error log; the
// audio stays and the batch goes on.
TEST_F(ConversionJobTest, ATagThatCannotBeWrittenFailsTheRowAndIsLogged) {
    const std::string source = src_ + "/a.wav";
    // The output's audio alone: 3 s of 16-bit stereo and its header.
    const unsigned long audioBytes = 3 * 44100 * 4 + 44;
    const int status = testenv::inChild(
        [&] {
            QStringList logged, states;
            SetJobErrorLog([&](const QString& message, const QString& className) { logged << message + "|" + className; });
            ConversionJob job(settings(TargetFormat::Wav), {Q(source)}, &handler_, &handler_);
            QObject::connect(&job, &ToolJob::itemState,
                             [&](int row, const QString& state) { states << QString::number(row) + " " + state; });
            RunToolJob(job, false);
            SetJobErrorLog({});
            const QString expected = "Cannot write the tag of " + Q(out_) + "/a.wav.";
            if (states != QStringList({"0 Converting", "0 failed"})) return 1;
            if (logged.size() != 1 || !logged[0].startsWith(expected) || !logged[0].endsWith("|EInOutError")) return 2;
            return handler_.texts.isEmpty() && decode(out_ + "/a.wav").frames() == 3 * 44100 ? 0 : 3;
        },
        audioBytes + 16);
    EXPECT_EQ(status, 0);
}

// A WAV whose RIFF INFO holds no genre gives an MP3 without one: the ID3v1
// block says 255 (none), as a tag saved in the editor does, not "Other";
// a genre the source does have is still copied.
TEST_F(ConversionJobTest, AnMp3FromASourceWithoutAGenreHasNoneInItsId3v1Block) {
    const std::string plain = src_ + "/plain.wav", rock = src_ + "/rock.wav";
    audiotest::encode(plain, audiotest::sine(44100, 2, 1.0, {1000}));
    fs::copy_file(plain, rock, fs::copy_options::overwrite_existing);
    for (const std::string& path : {plain, rock}) {
        AudioInformation tags;
        ASSERT_TRUE(tags.load(path));
        tags.infoTitle = "Title";
        tags.infoArtist = "Artist";
        tags.infoAlbum = "Album";
        if (path == rock) tags.infoGenreS = "Rock";
        ASSERT_TRUE(tags.save(path));
    }
    ConversionSettings s = settings(TargetFormat::Mp3);
    s.mp3.channelMode = 2;
    const JobReport report = RunJob(s, {Q(plain), Q(rock)}, handler_);
    ASSERT_EQ(report.states, QStringList({"0 Converting", "0 finish", "1 Converting", "1 finish"}));
    for (const auto& [name, genre] : {std::pair{"plain", 255}, std::pair{"rock", 17}}) {
        SCOPED_TRACE(name);
        ID3v1Block block;
        ASSERT_TRUE(ReadID3v1Tag(out_ + "/" + name + ".mp3", block));
        ASSERT_TRUE(block.hasMagic());
        EXPECT_EQ(std::string(tags::TrimTagText(block.album())), "Album");
        EXPECT_EQ(block.genre(), genre);
    }
}

// A name that is not valid UTF-8 reaches the job as Qt decodes it (U+FFFD
// for the bad byte): the file is still opened as it stands, and one that
// cannot be found is a failed row in a batch that goes on.
TEST_F(ConversionJobTest, NamesThatAreNotUtf8AreOpenedAsTheyStand) {
    const QByteArray raw = QFile::encodeName(Q(src_)) + "/t\xe9st \xff.wav";
    fs::copy_file(src_ + "/a.wav", raw.toStdString(), fs::copy_options::overwrite_existing);
    const QString named = QFile::decodeName(raw);
    ASSERT_FALSE(QFileInfo::exists(named));
    const JobReport r = RunJob(settings(TargetFormat::Mp3), {named, Q(src_ + "/gone.wav"), Q(src_ + "/b.mp3")}, handler_);
    EXPECT_EQ(r.states,
              QStringList({"0 Converting", "0 finish", "1 failed", "2 Converting", "2 finish"}));
    EXPECT_EQ(handler_.told, QStringList({"Information|gone.wav has been removed"}));
    const Decoded d = decode((QFile::encodeName(Q(out_)) + "/t\xef\xbf\xbdst \xef\xbf\xbd.mp3").toStdString());
    ASSERT_TRUE(d.ok);
    EXPECT_GT(d.frames(), 2 * 44100);
    fs::remove(raw.toStdString());
}

// A symbolic link at an output's name, to a file outside the folder or to
// nothing, is an existing file: the question names it, and Yes replaces
// the link itself, so nothing is written outside the chosen folder.
TEST_F(ConversionJobTest, ALinkAtTheOutputsNameIsAskedAboutAndReplaced) {
    const std::string elsewhere = testenv::makeTempDir("elsewhere");
    testenv::writeFile(elsewhere + "/outside.wav", "not ours");
    fs::create_symlink(elsewhere + "/outside.wav", out_ + "/a.wav");
    fs::create_symlink(elsewhere + "/nothing.wav", out_ + "/b.wav");
    const JobReport r = RunJob(settings(TargetFormat::Wav), {Q(src_ + "/a.wav"), Q(src_ + "/b.mp3")}, handler_);
    EXPECT_EQ(r.states, QStringList({"0 Converting", "0 finish", "1 Converting", "1 finish"}));
    EXPECT_EQ(handler_.texts, QStringList({Q(out_) + "/a.wav already exists. Overwrite?",
                                           Q(out_) + "/b.wav already exists. Overwrite?"}));
    for (const char* name : {"/a.wav", "/b.wav"}) {
        EXPECT_FALSE(fs::is_symlink(out_ + name)) << name;
        EXPECT_GT(decode(out_ + name).frames(), 2 * 44100) << name;
    }
    EXPECT_EQ(testenv::readFile(elsewhere + "/outside.wav"), "not ours");
    EXPECT_FALSE(fs::exists(elsewhere + "/nothing.wav"));
}

}  // namespace

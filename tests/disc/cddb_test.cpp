// The CD database: the disc id of the notes' table, the exact request lines,
// and a loopback server's scripted answers (exact, list, none, slow, huge,
// malformed, hostile), and the cache that a found disc leaves behind.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cdimagemaker.h"
#include "components/disc/cddbclient.h"
#include "components/disc/cddbtext.h"
#include "components/disc/cdgrabber.h"
#include "testenv.h"

namespace {

const CdTableOfContents kToc{{0, 375, 690}, 1141};
const std::string kQueryLine =
    "GET /~cddb/cddb.cgi?cmd=cddb+query+0b000f03+3+150+525+840+17&hello=user+localhost+Tunevale+1.10&proto=6 "
    "HTTP/1.0";
const std::string kReadLine =
    "GET /~cddb/cddb.cgi?cmd=cddb+read+rock+0b000f03&hello=user+localhost+Tunevale+1.10&proto=6 HTTP/1.0";

const std::string kRecord =
    "210 rock 0b000f03 CD database entry follows\r\n"
    "# xmcd\r\n# Track frame offsets:\r\n#  150\r\n"
    "DISCID=0b000f03\r\n"
    "DTITLE=The Artist / The Al\r\n"
    "DTITLE=bum\r\n"
    "DGENRE=\r\n"
    "TTITLE0=First\\tOne\r\n"
    "TTITLE1=Sec\r\n"
    "TTITLE1=ond \\\\ Half\r\n"
    "TTITLE2=Third\\nLine\r\n"
    "TTITLE7=Not on this disc\r\n"
    ".\r\n";

// A server that answers every query line with `query` and every read with
// `read`, both over HTTP.
std::function<cdtest::LoopbackServer::Answer(const std::string&)> Answering(std::string query, std::string read) {
    return [=](const std::string& line) -> cdtest::LoopbackServer::Answer {
        return {cdtest::httpOk(line.find("cddb+query") != std::string::npos ? query : read)};
    };
}

TEST(CddbText, DiscIdAndQueryOfTheNotesTable) {
    EXPECT_EQ(CddbDiscIdText(CddbDiscId(kToc)), "0b000f03");
    EXPECT_EQ(CddbQueryCommand(kToc), "cddb query 0b000f03 3 150 525 840 17");
}

TEST(CddbText, AnswersAndTexts) {
    auto one = ParseCddbQueryAnswer("200 rock 0b000f03 Artist / Album\r\n");
    ASSERT_EQ(one.matches.size(), 1u);
    EXPECT_EQ(one.matches[0].category, "rock");
    auto list = ParseCddbQueryAnswer("211 close matches\r\nmisc 0b000f03 A / B\r\nrock 0b000f04 C / D\r\n.\r\n");
    ASSERT_EQ(list.matches.size(), 2u);
    EXPECT_EQ(list.matches[0].category, "misc");
    EXPECT_TRUE(ParseCddbQueryAnswer("211 cut\r\nmisc 0b000f03 A\r\n").matches.empty());
    EXPECT_TRUE(ParseCddbQueryAnswer("200 ../../etc 0b000f03 x\r\n").matches.empty());
    EXPECT_TRUE(ParseCddbQueryAnswer("200 rock 0b000f03/.. x\r\n").matches.empty());
    EXPECT_EQ(ParseCddbQueryAnswer("202 No match\r\n").code, 202);

    auto record = ParseCddbReadAnswer(kRecord, "rock", 3);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->artist, "The Artist");
    EXPECT_EQ(record->album, "The Album");
    EXPECT_EQ(record->genre, "Rock");  // the category's ID3 name when DGENRE is empty
    EXPECT_EQ(record->titles, (std::vector<std::string>{"First One", "Second \\ Half", "Third Line"}));
    EXPECT_FALSE(ParseCddbReadAnswer("210 rock 0b000f03\r\nDTITLE=x\r\n", "rock", 3));  // no closing "."

    EXPECT_EQ(CleanCddbText("  a\x01" "b\x7f" "c\xff  "), "abc\xEF\xBF\xBD");
    EXPECT_EQ(CleanCddbText(std::string(70000, 'x')).size(), CddbTextLimit);
    EXPECT_EQ(CddbCategoryGenre("newage"), "New Age");
    EXPECT_EQ(CddbCategoryGenre("data"), "Other");
    EXPECT_EQ(CddbPortOfText("8880"), 8880);
    EXPECT_EQ(CddbPortOfText("80x"), 80);
    EXPECT_EQ(CddbPortOfText("70000"), 80);
}

struct CddbServerFixture : ::testing::Test {
    std::string cache = testenv::makeTempDir("cddb");
    CddbServer server(int port, int timeoutMs = 3000) {
        CddbServer s;
        s.host = "127.0.0.1";
        s.port = port;
        s.timeoutMs = timeoutMs;
        return s;
    }
};

TEST_F(CddbServerFixture, ExactMatchIsReadAndCached) {
    cdtest::LoopbackServer loop(Answering("200 rock 0b000f03 The Artist / The Album\r\n", kRecord));
    CddbLookup found = CddbLookupOnline(server(loop.port()), kToc, cache);
    ASSERT_TRUE(found.record) << found.error;
    EXPECT_EQ(loop.requests(), (std::vector<std::string>{kQueryLine, kReadLine}));
    EXPECT_EQ(found.record->album, "The Album");
    auto cached = CddbLookupCache(kToc, cache);
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->titles, found.record->titles);
    EXPECT_EQ(cached->genre, "Rock");
}

// An answer that comes in pieces, its status line and headers cut
// anywhere, reads as the whole.
TEST_F(CddbServerFixture, AnAnswerInPiecesIsReadWhole) {
    cdtest::LoopbackServer loop([](const std::string& line) -> cdtest::LoopbackServer::Answer {
        const bool query = line.find("cddb+query") != std::string::npos;
        return {cdtest::httpOk(query ? "200 rock 0b000f03 The Artist / The Album\r\n" : kRecord), 0, 7};
    });
    const CddbLookup found = CddbLookupOnline(server(loop.port()), kToc, cache);
    ASSERT_TRUE(found.record) << found.error;
    EXPECT_EQ(found.record->album, "The Album");
    EXPECT_EQ(found.record->titles, CddbLookupCache(kToc, cache).value_or(CddbRecord{}).titles);
}

TEST_F(CddbServerFixture, ListTakesTheFirstAndNoMatchIsNoError) {
    cdtest::LoopbackServer loop(Answering("211 close\r\njazz 0b000f03 J / K\r\nrock 0b000f03 R / S\r\n.\r\n",
                                          "210 jazz 0b000f03\r\nDTITLE=J / K\r\nDGENRE=Bebop\r\n.\r\n"));
    CddbLookup found = CddbLookupOnline(server(loop.port()), kToc, cache);
    ASSERT_TRUE(found.record) << found.error;
    EXPECT_EQ(found.category, "jazz");
    EXPECT_EQ(found.record->genre, "Bebop");
    EXPECT_NE(loop.requests().back().find("cmd=cddb+read+jazz+0b000f03&"), std::string::npos);

    cdtest::LoopbackServer noMatch(Answering("202 No match for disc ID 0b000f03.\r\n", ""));
    CddbLookup none = CddbLookupOnline(server(noMatch.port()), kToc, testenv::makeTempDir("cddb"));
    EXPECT_FALSE(none.record);
    EXPECT_EQ(none.code, 202);
    EXPECT_TRUE(none.error.empty());
}

// A cache that cannot take the record (a file stands where its folder
// would be made) costs the cache, not the record; a stop ends a lookup that
// waits on a silent server at once.
TEST_F(CddbServerFixture, AnUnwritableCacheKeepsTheRecordAndAStopEndsTheWait) {
    cdtest::LoopbackServer loop(Answering("200 rock 0b000f03 The Artist / The Album\r\n", kRecord));
    const std::string blocked = testenv::makeTempDir("blocked") + "/file";
    testenv::writeFile(blocked, "x");
    const CddbLookup found = CddbLookupOnline(server(loop.port()), kToc, blocked);
    ASSERT_TRUE(found.record) << found.error;
    EXPECT_TRUE(found.error.empty());
    EXPECT_FALSE(found.cacheError.empty());
    EXPECT_EQ(found.record->album, "The Album");

    cdtest::LoopbackServer silent([](const std::string&) -> cdtest::LoopbackServer::Answer {
        return {cdtest::httpOk(""), 60000};
    });
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const CddbLookup stopped = CddbLookupOnline(server(silent.port(), 20000), kToc, cache, [&] { return stop.load(); });
    const auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_FALSE(stopped.record);
    EXPECT_EQ(stopped.error, "stopped");
    EXPECT_LT(took, std::chrono::milliseconds(800));
}

// Answers that must not hang, fill memory, or leave a file behind.
TEST_F(CddbServerFixture, BadAnswersFailCleanly) {
    struct Case {
        const char* what;
        cdtest::LoopbackServer::Answer query;
        cdtest::LoopbackServer::Answer read;
        const char* error;
    } cases[] = {
        {"slower than the deadline", {cdtest::httpOk("200 rock 0b000f03 x\r\n"), 2500}, {cdtest::httpOk(kRecord)}, "no answer within the time limit"},
        {"read slower than what is left", {cdtest::httpOk("200 rock 0b000f03 x\r\n"), 300}, {cdtest::httpOk(kRecord), 2500}, "no answer within the time limit"},
        {"oversized", {cdtest::httpOk("211 many\r\n" + std::string(2 * 1024 * 1024, 'x') + "\r\n.\r\n")}, {}, "answer too large"},
        {"no closing dot", {cdtest::httpOk("200 rock 0b000f03 x\r\n")}, {cdtest::httpOk("210 rock 0b000f03\r\nDTITLE=a / b\r\n")}, "malformed read answer"},
        {"not HTTP", {"200 rock 0b000f03 x\r\n"}, {}, "malformed HTTP answer"},
        {"server error", {"HTTP/1.0 500 Internal\r\n\r\n"}, {}, "server answered HTTP/1.0 500 Internal"},
        {"closed without an answer", {""}, {}, "malformed HTTP answer"},
        {"hostile category", {cdtest::httpOk("200 ../../../tmp 0b000f03 x\r\n")}, {cdtest::httpOk(kRecord)}, "no usable match in the answer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cdtest::LoopbackServer loop([&](const std::string& line) {
            return line.find("cddb+query") != std::string::npos ? c.query : c.read;
        });
        const std::string folder = testenv::makeTempDir("cddb");
        const auto start = std::chrono::steady_clock::now();
        CddbLookup result = CddbLookupOnline(server(loop.port(), 1000), kToc, folder);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(result.record);
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.error, c.error);
        EXPECT_LT(took, std::chrono::milliseconds(1500));
        EXPECT_FALSE(CddbLookupCache(kToc, folder));
    }
    CddbServer nobody = server(1, 1000);
    EXPECT_FALSE(CddbLookupOnline(nobody, kToc, cache).record);
    nobody.host = "localhost";
    EXPECT_EQ(CddbLookupOnline(nobody, kToc, cache).error, "cannot connect: Connection refused");
}

// Texts with path characters, controls, bad UTF-8 and 70 KB titles come
// out as bounded one-line texts; path cleaning is the rip's business.
TEST_F(CddbServerFixture, HostileTextsAreCleaned) {
    const std::string huge(70 * 1024, 'T');
    const std::string record = "210 misc 0b000f03\r\nDTITLE=../../../tmp/pwned / AC/DC \\\\ Fans\x07\r\n"
                               "TTITLE0=..\r\nTTITLE1=" + huge + "\r\nTTITLE2=\x1b[31mred\xc3\x28\r\n"
                               "TTITLE99999999999=x\r\n.\r\n";
    cdtest::LoopbackServer loop(Answering("200 misc 0b000f03 x\r\n", record));
    CddbLookup found = CddbLookupOnline(server(loop.port()), kToc, cache);
    ASSERT_TRUE(found.record) << found.error;
    EXPECT_EQ(found.record->artist, "../../../tmp/pwned");
    EXPECT_EQ(found.record->album, "AC/DC \\ Fans");
    EXPECT_EQ(found.record->genre, "Other");
    ASSERT_EQ(found.record->titles.size(), 3u);
    EXPECT_EQ(found.record->titles[0], "..");
    EXPECT_EQ(found.record->titles[1], std::string(CddbTextLimit, 'T'));
    EXPECT_EQ(found.record->titles[2], "[31mred\xEF\xBF\xBD(");
    struct stat st {};
    EXPECT_EQ(::stat((cache + "/misc/0b000f03").c_str(), &st), 0);
}

// The grabber's two sources: the cache after each table read, and the
// online query whose find the next cache query yields.
TEST_F(CddbServerFixture, GrabberSourcesOneAndTwo) {
    const std::string folder = testenv::makeTempDir("img");
    cdtest::makeImage(folder, "plain", {{cdtest::tone(5.0), "", ""}, {cdtest::silence(4.2), "", ""},
                                         {cdtest::noise(6.013, 3), "", ""}});
    CdGrabber grabber;
    grabber.setImageFolder(folder);
    grabber.setCddbCacheFolder(cache);
    for (int i = 1; i <= grabber.driveCount(); ++i) {
        grabber.setDriveIndex(i);
        if (grabber.driveIsImage()) break;
    }
    ASSERT_TRUE(grabber.readToc());
    EXPECT_FALSE(grabber.cddbQuery(2));
    {
        cdtest::LoopbackServer loop(Answering("200 rock 0b000f03 x\r\n", kRecord));
        grabber.setCddbServerAddress("127.0.0.1");
        grabber.setCddbServerPort(QString::number(loop.port()));
        grabber.setCddbTimeout(3000);
        ASSERT_TRUE(grabber.cddbQuery(1)) << grabber.cddbError();
        EXPECT_TRUE(grabber.cddbQuery(1));
        EXPECT_EQ(loop.requests().size(), 2u);
    }
    ASSERT_TRUE(grabber.readToc());
    ASSERT_TRUE(grabber.cddbQuery(2));
    EXPECT_EQ(grabber.cddbArtist(), "The Artist");
    EXPECT_EQ(grabber.cddbGenre(), "Rock");
    grabber.setTrack(2);
    EXPECT_EQ(grabber.cddbTrackTitle(), "Second \\ Half");
}

}  // namespace

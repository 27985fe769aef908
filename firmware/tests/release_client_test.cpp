#include "release_client.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>

#include "apilog.h"
#include "test_server.h"

namespace TVR {
namespace {

using FirmwareTest::TempFile;
using FirmwareTest::TestServer;
using ::testing::HasSubstr;

// FX3 1.1.1.0.5: vendor 1, hardware 1, product 1, build 5.
VersionInfoFX3 fx3Record() {
    VersionInfoFX3 record;
    const std::array<uint8_t, 4> bytes{0x09, 0x01, 0x28, 0x00};
    EXPECT_TRUE(record.load(bytes));
    return record;
}

struct Rig {
    Rig() { EXPECT_TRUE(server.start()); }
    std::shared_ptr<ReleaseClient> client() const {
        return std::make_shared<ReleaseClient>(DownloadServer(server.baseUrl()));
    }
    void reply(const std::string& path, std::string body, int status = 200) {
        server.http().Get(path, [body = std::move(body), status](const httplib::Request&,
                                                                 httplib::Response& res) {
            res.status = status;
            res.set_content(body, "text/plain");
        });
    }
    TestServer server;
};

TEST(ReleaseClient, ListParsesEveryPieceAndSortsNewestFirst) {
    Rig rig;
    rig.reply("/cgi-bin/ver.php", "fx3:5:31:fw/a.img:245760\r\nfx3:5:33:fw/b.img:245800\n");
    VersionInfoFX3 record = fx3Record();
    record.setReleaseSource(rig.client());

    ReleaseList list = record.releases(5);
    ASSERT_EQ(list.error, "");
    ASSERT_EQ(list.releases.size(), 2u);
    EXPECT_EQ(list.releases[0].build, 31u);
    EXPECT_EQ(list.releases[0].path, "fw/a.img");
    EXPECT_EQ(list.releases[0].size, 245760);
    EXPECT_EQ(list.releases[0].kind, 5);
    sortNewestFirst(list.releases);
    EXPECT_EQ(list.releases[0].build, 33u);
    EXPECT_EQ(list.releases[0].path, "fw/b.img");
    EXPECT_EQ(list.releases[1].build, 31u);

    const auto seen = rig.server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "/cgi-bin/ver.php?type=fx3&vid=1&hwid=1&pid=1&rel=5");
    EXPECT_EQ(seen[0].agent, "Tavro-lib");
    EXPECT_EQ(seen[0].pragma, "no-cache");
    EXPECT_EQ(seen[0].cookie, "");
}

TEST(ReleaseClient, PiecesOfAnotherRecordOrBadNumbers) {
    Rig rig;
    rig.reply("/cgi-bin/ver.php", "fpga:5:44:x.bin:3500000 fx3:5:7");
    VersionInfoFX3 record = fx3Record();
    record.setReleaseSource(rig.client());
    ReleaseList list = record.releases(5);
    ASSERT_EQ(list.error, "");
    ASSERT_EQ(list.releases.size(), 2u);
    for (const FirmwareRelease& r : list.releases) {
        EXPECT_EQ(r.kind, 4);
        EXPECT_EQ(r.build, 0u);
        EXPECT_EQ(r.path, "");
        EXPECT_EQ(r.size, -1);
    }

    // A number field that is not a number fails the whole list.
    EXPECT_THAT(parseReleaseList("fx3", "fx3:5:31:a:1 fx3:5:3x:b:2").error,
                HasSubstr("fx3:5:3x:b:2"));
    EXPECT_FALSE(parseReleasePiece("fx3", "fx3:256:1:a:1").error.empty());
    EXPECT_FALSE(parseReleasePiece("fx3", "fx3:5:-1:a:1").error.empty());
    EXPECT_FALSE(parseReleasePiece("fx3", "fx3:5:1:a:9999999999").error.empty());
    EXPECT_EQ(parseReleasePiece("fx3", "fx3:5:1:a:-1:extra").release.size, -1);
    EXPECT_EQ(parseReleasePiece("fx3", "fx3:5:4294967295:a:1").release.build, 4294967295u);
}

TEST(ReleaseClient, LatestReleaseAndFailuresThatOfferNothing) {
    Rig rig;
    rig.reply("/cgi-bin/latest.php", "\n fx3:5:40:fw/c.img:250000\nfx3:5:41:fw/d.img:1\n");
    rig.reply("/missing/cgi-bin/latest.php", "", 404);
    VersionInfoFX3 record = fx3Record();
    record.setReleaseSource(rig.client());

    LatestRelease latest = record.latestRelease(5);
    EXPECT_EQ(latest.error, "");
    EXPECT_EQ(latest.release.build, 40u);
    EXPECT_EQ(latest.release.path, "fw/c.img");
    EXPECT_EQ(rig.server.requests().back().target, "/cgi-bin/latest.php?fx3=1_1_1&rel=5");

    // A server that does not know the query: no offer, and a text for the log.
    record.setReleaseSource(
        std::make_shared<ReleaseClient>(DownloadServer(rig.server.baseUrl() + "missing/")));
    latest = record.latestRelease(5);
    EXPECT_EQ(latest.error, "The server returned HTTP status 404");
    EXPECT_EQ(latest.release.size, -1);
    EXPECT_FALSE(record.buildBelow(static_cast<int>(latest.release.build)));

    // Nothing asked for an invalid record.
    const size_t before = rig.server.requests().size();
    VersionInfoFX3 unknown;
    unknown.setReleaseSource(rig.client());
    EXPECT_EQ(unknown.latestRelease(5).release.build, 0u);
    EXPECT_TRUE(unknown.releases(5).releases.empty());
    EXPECT_EQ(rig.server.requests().size(), before);
}

TEST(ReleaseClient, LongReplyArrivingInPiecesIsReadWhole) {
    Rig rig;
    constexpr int kCount = 4000;  // about 100 KiB
    std::string body;
    for (int i = 0; i < kCount; ++i) body += fmt::format("fx3:5:{}:fw/build{}.img:{}\n", i, i, i);
    ASSERT_GT(body.size(), 65536u);
    rig.server.http().Get("/cgi-bin/ver.php",
                          [&body](const httplib::Request&, httplib::Response& res) {
                              res.set_chunked_content_provider(
                                  "text/plain", [&body](size_t offset, httplib::DataSink& sink) {
                                      const size_t n = std::min<size_t>(1000, body.size() - offset);
                                      sink.write(body.data() + offset, n);
                                      if (offset + n == body.size()) sink.done();
                                      return true;
                                  });
                          });
    ReleaseList list = ReleaseClient(DownloadServer(rig.server.baseUrl())).releases(fx3Record(), 5);
    ASSERT_EQ(list.error, "");
    ASSERT_EQ(list.releases.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(list.releases.back().build, static_cast<uint32_t>(kCount - 1));
    EXPECT_EQ(list.releases.back().path, fmt::format("fw/build{}.img", kCount - 1));

    // Beyond the text limit the reply is refused rather than cut.
    rig.reply("/big", std::string(kTextReplyLimit + 1, 'x'));
    FetchResult big = httpFetchText(rig.server.baseUrl() + "big");
    EXPECT_THAT(big.error, HasSubstr("longer than"));
    EXPECT_EQ(big.text, "");
}

TEST(HttpFetch, ErrorTexts) {
    EXPECT_EQ(httpFetchText("").error, "Empty URL");

    Rig rig;
    rig.reply("/empty", "");
    rig.reply("/broken", "oops", 500);
    EXPECT_EQ(httpFetchText(rig.server.baseUrl() + "empty").error,
              "The server returned an empty reply");
    EXPECT_EQ(httpFetchText(rig.server.baseUrl() + "broken").error,
              "The server returned HTTP status 500");
    EXPECT_EQ(httpFetchText(rig.server.baseUrl() + "nothing-here").error,
              "The server returned HTTP status 404");

    // A port nobody listens on any more.
    const std::string gone = rig.server.baseUrl() + "cgi-bin/ver.php";
    rig.server.stop();
    const FetchResult refused = httpFetchText(gone);
    EXPECT_THAT(refused.error, HasSubstr("Couldn't connect to server"));
    EXPECT_EQ(refused.text, "");
    EXPECT_THAT(httpFetchText("ftp://127.0.0.1/x").error, HasSubstr("not supported"));
}

TEST(HttpFetch, FileUrls) {
    TempFile file("fx3:5:9:fw/e.img:12\n");
    const std::string url = "file://" + file.path();
    EXPECT_EQ(httpFetchText(url).text, "fx3:5:9:fw/e.img:12\n");
    EXPECT_FALSE(httpFetchText(url + ".missing").ok());

    const DownloadResult exact = downloadBytes(url, 20);
    ASSERT_EQ(exact.error, "");
    EXPECT_EQ(std::string(exact.bytes.begin(), exact.bytes.end()), "fx3:5:9:fw/e.img:12\n");
    EXPECT_EQ(downloadBytes(url, 21).error, "Number of bytes read doesn't match the file size");
    EXPECT_EQ(downloadBytes(url, 19).error, "Number of bytes read doesn't match the file size");
    EXPECT_TRUE(downloadBytes(url, 19).bytes.empty());
    EXPECT_FALSE(downloadBytes(url, 0).ok());
    EXPECT_FALSE(downloadBytes(url, -1).ok());
}

TEST(ReleaseClient, DownloadsTheReleaseImage) {
    Rig rig;
    std::string image(300000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    rig.server.http().Get("/fw/a.img", [&image](const httplib::Request&, httplib::Response& res) {
        res.set_content(image, "application/octet-stream");
    });
    const ReleaseClient client(DownloadServer(rig.server.baseUrl()));
    FirmwareRelease release{5, 31, "fw/a.img", static_cast<int32_t>(image.size())};
    const DownloadResult got = client.download(release);
    ASSERT_EQ(got.error, "");
    ASSERT_EQ(got.bytes.size(), image.size());
    EXPECT_EQ(std::string(got.bytes.begin(), got.bytes.end()), image);
    EXPECT_EQ(rig.server.requests().back().target, "/fw/a.img");

    release.size = 245760;
    EXPECT_EQ(client.download(release).error, kSizeMismatchError);
    EXPECT_FALSE(client.download(FirmwareRelease{}).ok());
}

TEST(ReleaseClient, InstallerCheck) {
    Rig rig;
    std::string reply = "2:6:0:0:setup.exe:1000\r\n";
    rig.server.http().Get("/cgi-bin/ver.php",
                          [&reply](const httplib::Request&, httplib::Response& res) {
                              res.set_content(reply, "text/plain");
                          });
    const ReleaseClient client(DownloadServer(rig.server.baseUrl()));

    ApiLog log;
    InstallerCheck check = client.checkInstaller(log);
    EXPECT_EQ(check.error, "");
    EXPECT_EQ(check.info.versionValue(), 20600u);
    EXPECT_FALSE(check.info.newerThan());
    EXPECT_EQ(check.info.size, 1000);
    const auto seen = rig.server.requests().back();
    EXPECT_EQ(seen.target, "/cgi-bin/ver.php?type=installer&os=win");
    EXPECT_EQ(seen.agent, "Tavro control center");

    reply = "2:6:1:0:setup.exe:1000";
    check = client.checkInstaller(log);
    EXPECT_TRUE(check.info.newerThan());
    EXPECT_EQ(check.info.path, "setup.exe");
    EXPECT_EQ(client.server().url(check.info.path), rig.server.baseUrl() + "setup.exe");

    // A bad field offers nothing, even when the fields before it looked newer.
    EXPECT_EQ(log.messageCount(), 0u);
    reply = "9:x:1:0:setup.exe:1000";
    check = client.checkInstaller(log);
    EXPECT_EQ(check.info.versionValue(), 0u);
    EXPECT_FALSE(check.info.newerThan());
    ASSERT_EQ(log.messageCount(), 1u);
    const auto logged = log.message(log.firstMessageIndex());
    ASSERT_TRUE(logged.has_value());
    EXPECT_EQ(logged->text, "Unexpected installer information!");
    EXPECT_TRUE(logged->error);

    // Too few fields or an empty reply: no newer version and no exception.
    reply = "2:7:0:setup.exe";
    EXPECT_FALSE(client.checkInstaller(log).info.newerThan());
    reply = "";
    check = client.checkInstaller(log);
    EXPECT_FALSE(check.info.newerThan());
    EXPECT_EQ(check.error, "");
}

TEST(DownloadServer, AddressSettings) {
    EXPECT_EQ(DownloadServer("http://h/x//").baseAddress(), "http://h/x/");
    EXPECT_EQ(DownloadServer("http://h").url("/cgi-bin/ver.php?a=1"),
              "http://h/cgi-bin/ver.php?a=1");
    EXPECT_EQ(DownloadServer("http://h/").url("fw/a.img"), "http://h/fw/a.img");

    ::unsetenv("TAVRO_DOWNLOAD_SERVER");
    EXPECT_EQ(DownloadServer::fromSettings().baseAddress(),
              DownloadServer(DownloadServer::builtInAddress()).baseAddress());
    ::setenv("TAVRO_DOWNLOAD_SERVER", "http://env.example/", 1);
    EXPECT_EQ(DownloadServer::fromSettings().baseAddress(), "http://env.example/");
    EXPECT_EQ(DownloadServer::fromSettings("https://flag.example").baseAddress(),
              "https://flag.example/");
    ::unsetenv("TAVRO_DOWNLOAD_SERVER");
    EXPECT_FALSE(DownloadServer::builtInAddress().empty());
}

}  // namespace
}  // namespace TVR

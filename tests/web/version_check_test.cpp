// The newer-version check against servers of the test's own on 127.0.0.1.
#include "web/version_check.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "web/fake_desktop.h"
#include "web/feedback_form.h"
#include "web/loopback_server.h"
#include "web/version_paths.h"

namespace halv::test {
namespace {

TEST(VersionFinderPath, FollowsTheKindTable) {
  struct Case {
    int kind;
    const char* sensor_word;
    const char* path;
  } cases[] = {
      {0, "", ""},  // unknown: never checks
      {1, "", "/versionfinder/Lagan-Firmware.html"},
      {5, "", ""},  // Webpost
      {7, "", "/versionfinder/thermik-firmware.html"},
      {8, "", "/versionfinder/RAYLOFirmware.txt"},
      {10, "CelvaB", "/versionfinder/CelvaB-Firmware.txt"},  // by the sensor type
      {10, "", ""},                                          // no sensor type chosen
      {15, "", "/versionfinder/HydrelQ.txt"},
      {16, "", "/versionfinder/HYVFirmware.txt"},
      {23, "", ""},
      {24, "ignored", "/versionfinder/Pumatic-Firmware.txt"},
      {-1, "", ""},
      {25, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VersionFinderPath(c.kind, c.sensor_word), c.path) << "kind " << c.kind;
  }
}

TEST(ParseVersionAnswer, ReadsVersionAndLink) {
  const QByteArray long_link = "http://s.example/" + QByteArray(2000, 'a');
  struct Case {
    QByteArray answer;
    int32_t code;
    uint32_t version;
    const char* link;
    bool download;
  } cases[] = {
      {"1.25 http://s.example/p.html", 1, 125, "http://s.example/p.html", false},
      {"125\thttp://s.example/Setup.exe\r\n", 1, 125, "http://s.example/Setup.exe", true},
      {"2 https://s.example/", 1, 200, "https://s.example/", false},  // a single digit: 2.00
      {"10 http://s.example/", 1, 10, "http://s.example/", false},    // whole and 10 or more
      {"9 http://s.example/", 1, 900, "http://s.example/", false},
      {"150.4 http://s.example/", 1, 150, "http://s.example/", false},
      {"1.06  \t http://s.example/", 1, 106, "http://s.example/", false},
      {"http://s.example/", kVersionParseError, 0, "", false},  // nothing before the link
      {" http://s.example/", kVersionParseError, 0, "", false},
      {"1.25 no link at all", kVersionParseError, 0, "", false},
      {"", kVersionParseError, 0, "", false},
      {"one http://s.example/", kVersionParseError, 0, "", false},
      {"-5 http://s.example/", kVersionParseError, 0, "", false},  // no negative versions
      {"1e400 http://s.example/", kVersionParseError, 0, "", false},
      // Only web addresses are ever opened.
      {"1.25 httpx://s.example/", kVersionParseError, 0, "", false},
      {"1.25 file:///usr/bin/http", kVersionParseError, 0, "", false},
      {"1.25 http:/usr/bin/xterm", kVersionParseError, 0, "", false},
      {"1.25 http://s.example/a b", kVersionParseError, 0, "", false},
      {QByteArray("1.25\0http://s.example/\0\xff", 24), kVersionParseError, 0, "", false},
      {QByteArray("\xff\xfe\x00\x01", 4), kVersionParseError, 0, "", false},
  };
  for (const Case& c : cases) {
    const VersionAnswer answer = ParseVersionAnswer(c.answer);
    EXPECT_EQ(answer.code, c.code) << c.answer.toStdString();
    EXPECT_EQ(answer.version, c.version) << c.answer.toStdString();
    EXPECT_EQ(answer.link, QString(c.link)) << c.answer.toStdString();
    EXPECT_EQ(answer.download, c.download) << c.answer.toStdString();
  }

  // The link is cut to 999 characters.
  const VersionAnswer cut = ParseVersionAnswer("1.25 " + long_link);
  EXPECT_EQ(cut.code, 1);
  EXPECT_EQ(cut.link, QString::fromLatin1(long_link.left(999)));
}

class VersionCheckTest : public ::testing::Test {
 protected:
  std::optional<uint32_t> Check(const QByteArray& answer, bool quiet, uint32_t updater = 125) {
    LoopbackServer server([&](const HttpRequest&) { return HttpAnswer::Ok(answer); });
    return CheckWith(server, quiet, updater);
  }
  std::optional<uint32_t> CheckWith(LoopbackServer& server, bool quiet, uint32_t updater = 125) {
    ScopedServerVariable variable(server.HostAndPort());
    const VersionCheckRequest request{updater, "/versionfinder/Pumatic-Firmware.txt", quiet,
                                      "Pumatic Firmware Updater"};
    return CheckForNewerVersion(client_, desktop_, request, nullptr);
  }

  WebClient client_;
  FakeDesktop desktop_;
};

TEST_F(VersionCheckTest, SendsTheRequestLineAndHeaders) {
  LoopbackServer server(
      [](const HttpRequest&) { return HttpAnswer::Ok("1.06 http://s.example/"); });
  EXPECT_EQ(CheckWith(server, true, 106), 106u);
  ASSERT_EQ(server.Requests().size(), 1);
  const HttpRequest& request = server.Requests()[0];
  EXPECT_EQ(request.request_line, "GET /versionfinder/Pumatic-Firmware.txt HTTP/1.1");
  EXPECT_EQ(request.Header("Host"), server.HostAndPort().toUtf8());
  EXPECT_EQ(request.Header("Accept"), "text/html, */*");
  EXPECT_EQ(request.Header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(VersionCheckTest, NoRequestWithoutPathOrVersion) {
  LoopbackServer server(
      [](const HttpRequest&) { return HttpAnswer::Ok("9.99 http://s.example/"); });
  ScopedServerVariable variable(server.HostAndPort());
  EXPECT_EQ(CheckForNewerVersion(client_, desktop_, {106, "", false, "U"}, nullptr), std::nullopt);
  EXPECT_EQ(CheckForNewerVersion(client_, desktop_, {0, "/v.txt", false, "U"}, nullptr),
            std::nullopt);
  EXPECT_TRUE(server.Requests().isEmpty());
  EXPECT_TRUE(desktop_.boxes.empty());
}

const QString kConnectionStart =
    "Error connecting to QUORRIN Group's version check service.\n"
    "This feature requires your computer to be connected \n"
    "to the internet.\n"
    "\n\nPlease make a connection to the internet and try again.";

TEST_F(VersionCheckTest, OutcomesOfQuietAndFullChecks) {
  const QString download_question =
      "There is newer version of Pumatic Firmware Updater available for download."
      "\n\nWould you like to download this new version with your web browser now?";
  const QString page_question =
      "There is information about a newer version of Pumatic Firmware Updater\n"
      "available at http://s.example/new.html"
      "\n\nWould you like to visit this page with your web browser now?";
  const QString latest = "You are using the latest version of Pumatic Firmware Updater.";
  const QString newer =
      "You are running a newer version of Pumatic Firmware Updater\n"
      "than is available from QUORRIN Group's web site.";
  const QString parse =
      "Error parsing the version information returned by \n"
      "QUORRIN Group's version check service.\n"
      "[error -1002]\n\nPlease try again or contact QUORRIN for help.";
  struct Case {
    const char* answer;
    bool quiet;
    QString text;  // empty: nothing shown
    const char* caption;
    BoxIcon icon;
    bool question;
  } cases[] = {
      {"1.26 http://s.example/Setup.exe", true, download_question, "New Version Available",
       BoxIcon::kInformation, true},
      {"1.26 http://s.example/Setup.exe", false, download_question, "New Version Available",
       BoxIcon::kInformation, true},
      {"1.26 http://s.example/new.html", true, page_question, "New Version Available",
       BoxIcon::kInformation, true},
      {"1.26 http://s.example/new.html", false, page_question, "New Version Available",
       BoxIcon::kInformation, true},
      {"1.25 http://s.example/", true, "", "", BoxIcon::kInformation, false},
      {"1.25 http://s.example/", false, latest, "Version Finder", BoxIcon::kInformation, false},
      {"1.24 http://s.example/", true, "", "", BoxIcon::kInformation, false},
      {"1.24 http://s.example/", false, newer, "Version Finder", BoxIcon::kInformation, false},
      {"no link", true, "", "", BoxIcon::kInformation, false},
      {"no link", false, parse, "Version Check Error", BoxIcon::kError, false},
  };
  for (const Case& c : cases) {
    desktop_.boxes.clear();
    Check(c.answer, c.quiet);
    SCOPED_TRACE(std::string(c.answer) + (c.quiet ? " quiet" : " full"));
    if (c.text.isEmpty()) {
      EXPECT_TRUE(desktop_.boxes.empty());
      continue;
    }
    ASSERT_EQ(desktop_.boxes.size(), 1u);
    EXPECT_EQ(desktop_.boxes[0].text, c.text);
    EXPECT_EQ(desktop_.boxes[0].caption, QString(c.caption));
    EXPECT_EQ(desktop_.boxes[0].icon, c.icon);
    EXPECT_EQ(desktop_.boxes[0].question, c.question);
  }
  EXPECT_TRUE(desktop_.opened.empty());  // every question was answered No
}

TEST_F(VersionCheckTest, YesOpensTheLinkAndReportsALaunchFailureEvenWhenQuiet) {
  desktop_.answer_yes = true;
  EXPECT_EQ(Check("2.00 http://s.example/Setup.exe", true), 200u);
  ASSERT_EQ(desktop_.opened.size(), 1u);
  EXPECT_EQ(desktop_.opened[0], QUrl("http://s.example/Setup.exe"));
  EXPECT_EQ(desktop_.boxes.size(), 1u);

  desktop_.boxes.clear();
  desktop_.browser_works = false;
  Check("2.00 http://s.example/Setup.exe", true);
  ASSERT_EQ(desktop_.boxes.size(), 2u);
  EXPECT_EQ(desktop_.boxes[1].text,
            "Pumatic Firmware Updater had trouble launching your web browser.\n"
            "Please try manually going to:\nhttp://s.example/Setup.exe");
  EXPECT_EQ(desktop_.boxes[1].caption, "Web Browser Launch Error");
  EXPECT_EQ(desktop_.boxes[1].icon, BoxIcon::kWarning);
}

TEST_F(VersionCheckTest, FollowsARedirect) {
  LoopbackServer server([](const HttpRequest& request) {
    if (request.request_line.startsWith("GET /versionfinder/")) {
      return HttpAnswer::Redirect("/moved/Pumatic.txt");
    }
    return HttpAnswer::Ok("1.30 http://s.example/");
  });
  EXPECT_EQ(CheckWith(server, false), 130u);
  ASSERT_EQ(server.Requests().size(), 2);
  EXPECT_EQ(server.Requests()[1].request_line, "GET /moved/Pumatic.txt HTTP/1.1");
}

// Every failure of the request is -1001: a full check shows the connection
// message with the reason, a quiet check shows nothing.
TEST_F(VersionCheckTest, FailedRequestsShowTheConnectionMessage) {
  client_.SetTimeLimitMs(300);
  struct Case {
    const char* name;
    HttpAnswer answer;
    const char* reason;  // part of the "Error: " line
  } cases[] = {
      {"closed", HttpAnswer::Close(), ""},
      {"silent", HttpAnswer::Silent(), "The server did not answer within 300 ms."},
      {"truncated",
       HttpAnswer::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n1.26 http://s.exa"), ""},
      {"not found", HttpAnswer::Status(404, "Not Found"), "Not Found"},
      {"too long", HttpAnswer::Ok(QByteArray(WebClient::kMaxAnswerBytes + 1, 'x')),
       "longer than 1048576 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool quiet : {true, false}) {
      desktop_.boxes.clear();
      LoopbackServer server([&](const HttpRequest&) { return c.answer; });
      QElapsedTimer elapsed;
      elapsed.start();
      EXPECT_EQ(CheckWith(server, quiet), std::nullopt);
      EXPECT_LT(elapsed.elapsed(), 5000);
      if (quiet) {
        EXPECT_TRUE(desktop_.boxes.empty());
        continue;
      }
      ASSERT_EQ(desktop_.boxes.size(), 1u);
      EXPECT_TRUE(desktop_.boxes[0].text.startsWith(kConnectionStart + "\n\nError: "))
          << desktop_.boxes[0].text.toStdString();
      EXPECT_TRUE(desktop_.boxes[0].text.contains(c.reason))
          << desktop_.boxes[0].text.toStdString();
      EXPECT_EQ(desktop_.boxes[0].caption, "Version Check Error");
      EXPECT_EQ(desktop_.boxes[0].icon, BoxIcon::kError);
    }
  }
}

TEST_F(VersionCheckTest, ABadServerVariableFailsClearly) {
  ScopedServerVariable variable("127.0.0.1:80/path");
  EXPECT_EQ(CheckForNewerVersion(client_, desktop_, {106, "/v.txt", false, "U"}, nullptr),
            std::nullopt);
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_TRUE(desktop_.boxes[0].text.contains("HALVBSL_SERVER"));
}

TEST_F(VersionCheckTest, TheFeedbackWindowLendsItsClientAndBoxes) {
  LoopbackServer server(
      [](const HttpRequest&) { return HttpAnswer::Ok("1.06 http://s.example/"); });
  ScopedServerVariable variable(server.HostAndPort());
  frmWeb form(nullptr, &desktop_);
  EXPECT_EQ(form.CheckForNewerVersion(106, "/versionfinder/Pumatic-Firmware.txt", false, "U"),
            106u);
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(desktop_.boxes[0].caption, "Version Finder");
}

}  // namespace
}  // namespace halv::test

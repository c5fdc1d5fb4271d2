// The newer-version check: asks the software server for the newest firmware
// version of this updater's device and offers to open its page in the
// user's browser. Quiet after start-up, with a message for every outcome when
// the user asks for it from the Help menu.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "log/diag_log.h"
#include "web/web_client.h"
#include "web/web_desktop.h"

namespace halv {

enum : int32_t {
  kVersionConnectError = -1001,  // the request failed or the server did not answer
  kVersionParseError = -1002,    // the answer holds no version and web address
};

// The server's answer, read: "1.25 http://..." or "125\thttp://...".
struct VersionAnswer {
  int32_t code = 0;       // 1 read, or kVersionParseError
  uint32_t version = 0;   // hundredths (1.25 is 125)
  QString link;           // an http or https address
  bool download = false;  // the link is a program to download, not a page
};

// Reads the answer. The version text is what stands before the one separator
// in front of the first "http"; a whole number of 10 or more is hundredths,
// anything else is read as a decimal number (times 100 below 100). Only an
// http or https address counts as a link: anything else could make the
// browser launch open a local file or program.
VersionAnswer ParseVersionAnswer(const QByteArray& answer);

struct VersionCheckRequest {
  uint32_t updater_version = 0;  // hundredths; 0: no check
  QString path;                  // the version-finder path; empty: no check
  bool quiet = false;            // the start-up check: no messages but the question
  QString updater_name;          // the main window's caption
};

// Runs the check. Returns the version found on the server, or nothing when no
// request was made or it failed.
std::optional<uint32_t> CheckForNewerVersion(WebClient& client, WebDesktop& desktop,
                                             const VersionCheckRequest& request, DiagLog* log);

}  // namespace halv

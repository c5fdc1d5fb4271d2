// Where the updater's web services live: the maker's software server, its
// public web site and the mailbox that feedback goes to by default.
#pragma once

#include <QString>
#include <QUrl>

namespace halv {

// The maker's software web server, reached by plain HTTP on port 80.
inline constexpr const char* kSoftwareServerHost = "software.quorrin.example";

// The maker's web site, named in the message shown when the server cannot be reached.
inline constexpr const char* kMakerWebSite = "www.quorrin.example";

// Where feedback goes when the user names no representative.
inline constexpr const char* kDefaultFeedbackRecipient = "support@quorrin.example";

// The environment variable HALVBSL_SERVER, when set and not empty, replaces
// the software server: a host with an optional port ("staging.quorrin.example",
// "127.0.0.1:8080", "[::1]:8080"). The tests use it for their loopback
// servers; a maker's staging server is reached the same way.
inline constexpr const char* kServerVariable = "HALVBSL_SERVER";

// The base address of the software server ("http://host[:port]"). A
// HALVBSL_SERVER value that is not a host with an optional port gives an
// invalid address, so that the request fails with a clear error instead of
// going quietly to the real server.
QUrl SoftwareServerUrl();

}  // namespace halv

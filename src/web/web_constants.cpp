#include "web/web_constants.h"

#include <QtGlobal>

namespace halv {

QUrl SoftwareServerUrl() {
  const QString replacement = qEnvironmentVariable(kServerVariable).trimmed();
  if (replacement.isEmpty()) return QUrl(QStringLiteral("http://") + kSoftwareServerHost);

  QUrl url(QStringLiteral("http://") + replacement, QUrl::StrictMode);
  const bool host_and_port_only = url.isValid() && !url.host().isEmpty() &&
                                  url.userInfo().isEmpty() && url.path().isEmpty() &&
                                  !url.hasQuery() && !url.hasFragment();
  return host_and_port_only ? url : QUrl();
}

}  // namespace halv

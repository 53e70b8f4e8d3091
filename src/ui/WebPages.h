#pragma once
// The addresses of the service's web pages: the service URL's scheme and host (and port, so
// that a test service on loopback serves them too) with each page's fixed path and query.

#include <QString>
#include <QUrl>
#include <string>

#include "core/WebPages.h"

namespace vorta::ui {

// `pathAndQuery` on the site of `serviceUrl`.
QUrl PageUrl(const std::string& serviceUrl, const char* pathAndQuery);
// The mail link to the support address at the service's host.
QUrl SupportMailUrl(const std::string& serviceUrl);

}  // namespace vorta::ui

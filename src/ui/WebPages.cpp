#include "ui/WebPages.h"

namespace vorta::ui {

namespace {

QUrl Site(const std::string& serviceUrl) {
    QUrl url(QString::fromStdString(serviceUrl));
    if (url.scheme().isEmpty()) url = QUrl(QStringLiteral("http://") + url.toString());
    QUrl site;
    site.setScheme(url.scheme());
    site.setHost(url.host());
    site.setPort(url.port());
    return site;
}

}  // namespace

QUrl PageUrl(const std::string& serviceUrl, const char* pathAndQuery) {
    return QUrl(Site(serviceUrl).toString() + QString::fromUtf8(pathAndQuery));
}

QUrl SupportMailUrl(const std::string& serviceUrl) {
    return QUrl(QStringLiteral("mailto:support@") + Site(serviceUrl).host());
}

}  // namespace vorta::ui

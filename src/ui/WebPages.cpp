#include "ui/WebPages.h"

namespace vorta::ui {

QUrl PageUrl(const std::string& serviceUrl, const char* pathAndQuery) {
    return QUrl(QString::fromStdString(PageAddress(serviceUrl, pathAndQuery)));
}

QUrl SupportMailUrl(const std::string& serviceUrl) {
    return QUrl(QString::fromStdString(SupportMailAddress(serviceUrl)));
}

}  // namespace vorta::ui

#include "core/StatusReport.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "base/Translate.h"

namespace vorta {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string UtcTimeText(std::int64_t seconds) {
    const auto when = std::chrono::sys_seconds{std::chrono::seconds{seconds}};
    const auto day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{when - day};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count() % 24),
                  int(time.minutes().count() % 60), int(time.seconds().count() % 60));
    return text;
}

std::string FormatStatusText(const StatusSnapshot& status) {
    std::ostringstream out;
    out << "mode: " << (status.serviceMode ? "service" : "desktop") << "\n";
    out << "logon: " << (status.loggedOn ? "logged on as " + status.userName : "logged off")
        << "\n";
    out << "last error: " << status.lastErrorCode;
    if (!status.lastErrorText.empty()) out << " " << status.lastErrorText;
    out << "\n";
    out << "lines: " << status.lines.size() << "  enabled: " << (status.linesEnabled ? "yes" : "no")
        << "  group state: " << status.groupState << "\n";
    if (!status.pairRole.empty()) {
        out << "pair: " << status.pairRole << "  peer state: "
            << (status.peerState ? std::to_string(*status.peerState) : "unknown")
            << "  ignored datagrams: " << status.ignoredDatagrams << "\n";
        if (!status.pairFailure.empty()) out << "  " << status.pairFailure << "\n";
    }
    for (const LineRow& line : status.lines) {
        out << "  " << (line.IsActive ? "up  " : "down") << "  "
            << (line.MasterGroup ? Tr("主组") : Tr("备组")) << "  " << line.EntryName
            << "  necessary: " << (line.IsNecessary ? Tr("是") : Tr("否"))
            << "  address: " << (line.IpAddress.empty() ? "-" : line.IpAddress);
        out << "  reported: " << (line.ReportedAt ? UtcTimeText(line.ReportedAt) : "never");
        if (!line.Reason.empty()) out << "  not reported: " << line.Reason;
        out << "\n";
    }
    out << "service URL: " << status.serviceUrl << "\n"
        << "line URL template: " << status.lineUrlTemplate << "\n"
        << "probe URL: " << status.probeUrl << "\n";
    out << "system information upload: " << (status.uploadAllowed ? "allowed" : "off") << "\n";
    if (!status.uploadNotice.empty()) out << "  " << status.uploadNotice << "\n";
    out << FormatDomainsText(status.domains.get());
    return out.str();
}

std::string FormatStatusJson(const StatusSnapshot& status) {
    std::ostringstream out;
    out << "{\"serviceMode\":" << (status.serviceMode ? "true" : "false")
        << ",\"loggedOn\":" << (status.loggedOn ? "true" : "false")
        << ",\"userName\":" << JsonString(status.userName)
        << ",\"lastError\":{\"code\":" << status.lastErrorCode
        << ",\"text\":" << JsonString(status.lastErrorText)
        << "},\"pair\":{\"role\":" << JsonString(status.pairRole)
        << ",\"peerState\":" << (status.peerState ? std::to_string(*status.peerState) : "null")
        << ",\"ignoredDatagrams\":" << status.ignoredDatagrams
        << ",\"failure\":" << JsonString(status.pairFailure)
        << "},\"linesEnabled\":" << (status.linesEnabled ? "true" : "false")
        << ",\"groupState\":" << status.groupState << ",\"lines\":[";
    for (std::size_t i = 0; i < status.lines.size(); ++i) {
        const LineRow& line = status.lines[i];
        out << (i ? "," : "") << "{\"active\":" << (line.IsActive ? "true" : "false")
            << ",\"group\":" << (line.MasterGroup ? "\"main\"" : "\"backup\"")
            << ",\"entryName\":" << JsonString(line.EntryName)
            << ",\"necessary\":" << (line.IsNecessary ? "true" : "false")
            << ",\"address\":" << JsonString(line.IpAddress)
            << ",\"reason\":" << JsonString(line.Reason) << ",\"reportedAt\":"
            << (line.ReportedAt ? JsonString(UtcTimeText(line.ReportedAt)) : "null") << "}";
    }
    out << "],\"urls\":{\"service\":" << JsonString(status.serviceUrl)
        << ",\"lineTemplate\":" << JsonString(status.lineUrlTemplate)
        << ",\"probe\":" << JsonString(status.probeUrl)
        << "},\"sysInfoUpload\":{\"allowed\":" << (status.uploadAllowed ? "true" : "false")
        << ",\"notice\":" << JsonString(status.uploadNotice) << "},\"domains\":";
    out << FormatDomainsJson(status.domains.get());
    out << "}\n";
    return out.str();
}

std::string FormatDomainsText(const TGetServiceListResp* domains) {
    std::ostringstream out;
    out << "domains: " << (domains ? domains->Domains.size() : 0) << "\n";
    if (domains) {
        for (const auto& domain : domains->Domains) {
            out << "  " << domain.DomainName << domain.SuffixName << "\n";
            for (const auto& resource : domain.Resources)
                out << "    " << resource.KeyName << "  " << resource.ResourceType << "  "
                    << resource.KeyValue << "\n";
        }
    }
    return out.str();
}

std::string FormatDomainsJson(const TGetServiceListResp* list) {
    std::ostringstream out;
    out << "[";
    if (list) {
        const auto& domains = list->Domains;
        for (std::size_t i = 0; i < domains.size(); ++i) {
            out << (i ? "," : "")
                << "{\"name\":" << JsonString(domains[i].DomainName + domains[i].SuffixName)
                << ",\"status\":" << JsonString(domains[i].Status) << ",\"resources\":[";
            const auto& resources = domains[i].Resources;
            for (std::size_t j = 0; j < resources.size(); ++j)
                out << (j ? "," : "") << "{\"type\":" << JsonString(resources[j].ResourceType)
                    << ",\"name\":" << JsonString(resources[j].KeyName)
                    << ",\"value\":" << JsonString(resources[j].KeyValue) << "}";
            out << "]}";
        }
    }
    out << "]";
    return out.str();
}

}  // namespace vorta

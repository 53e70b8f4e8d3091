#include "core/DomainView.h"

#include <cctype>
#include <utility>

#include "base/Translate.h"
#include "core/StatusReport.h"

#include "protocol/ResultCodes.h"

namespace vorta {
namespace {

// The labels of the domain page for one domain record.
void ShowDomain(ViewState& view, const TDomainInfoSchema& domain) {
    view.lab1 = Fill(Tr("域名：{}，后缀：{}"), {domain.DomainName, domain.SuffixName});
    switch (ResultCodeToInt(domain.OnlineOpt, -1)) {
        case 0:
            view.lab2 = Tr("在线时指向到客户端IP地址");
            break;
        case 1:
            view.lab2 = Tr("在线时指向到静态IP地址：") + domain.OnlineStaticIP;
            break;
        case 2:
            view.lab2 = Tr("在线时转发到URL：") + domain.OnlineTransURL;
            break;
        default:
            break;  // other values leave the label as it was
    }
    switch (ResultCodeToInt(domain.OfflineOpt, -1)) {
        case 0:
            view.lab3 = Tr("离线时保持离线前的状态");
            break;
        case 1:
            view.lab3 = Tr("离线时指向到静态IP地址：") + domain.OfflineStaticIP;
            break;
        case 2:
            view.lab3 = Tr("离线时转发到URL：") + domain.OfflineTransURL;
            break;
        case 3:
            view.lab3 = Tr("离线时指向到nabu提供的页面");
            break;
        default:
            break;
    }
    view.lab7 = Fill(Tr("服务期限自{}至{}"), {domain.StartDate, domain.EndDate});
}

std::string ResourceTypeName(const std::string& type) {
    if (type == "A") return Tr("A记录");
    if (type == "MX") return Tr("MX记录");
    if (type == "CNAME") return Tr("CNAME记录");
    return "Unknow";
}

}  // namespace

DomainView::DomainView(const ClientContext& context, LogonSession& session, LogonControl& logon)
    : view_(context.view),
      frontEnd_(context.frontEnd),
      settings_(context.settings),
      session_(session),
      logon_(logon),
      domainsTrd_(context.loop) {}

void DomainView::BtnRefreshDomainInfoClick() {
    if (domainsTrd_.Busy()) return;
    RefreshDomains([this](bool ok, const std::string& errorText) {
        if (!ok) frontEnd_.MessageBox(errorText, kMessageCaption, MessageIcon::Error);
    });
}

void DomainView::RefreshDomains(DomainsThen then) {
    domainsWaiters_.push_back(std::move(then));
    if (domainsTrd_.Busy()) return;
    const bool started =
        domainsTrd_.Start([this, s = settings_.Get(), generation = session_.Generation()](
                              std::stop_token stop) -> std::function<void()> {
            const bool ok =
                FetchServiceList(s.ServiceUrl, s.UserName, s.UserPwd, session_, generation, stop);
            return [this, ok, generation, text = ok ? std::string() : LastErrorText()] {
                if (ok && logon_.LoggedOn() && generation == session_.Generation())
                    logon_.StartServiceListThread();
                for (auto& waiter : std::exchange(domainsWaiters_, {})) waiter(ok, text);
            };
        });
    if (!started) domainsWaiters_.clear();
}

void DomainView::FillDomainTree() {
    auto list = session_.ServiceList();
    if (!list) return;
    view_.Domains = std::move(list);
    view_.Selected = {};
}

void DomainView::TreeViewDNSClick(DomainSelection selection) {
    view_.Selected = selection;
    const auto& domains = view_.Domains;
    if (selection.level == DomainSelection::None || !domains) return;
    if (selection.level == DomainSelection::Root) {
        view_.lab1 = Fill(Tr("共 {} 个域名。"), {std::to_string(domains->Domains.size())});
        view_.lab2 = view_.lab3 = view_.lab5 = view_.lab6 = view_.lab7 = "-";
        frontEnd_.StateChanged();
        return;
    }
    if (selection.domain >= domains->Domains.size()) return;
    TDomainInfoSchema& domain = domains->Domains[selection.domain];
    if (selection.level == DomainSelection::Domain) {
        view_.lab5 = view_.lab6 = "-";
    } else {
        if (selection.resource >= domain.Resources.size()) return;
        // The shown type is upper case, as is the stored one from now on.
        TResourceInfoSchema& resource = domain.Resources[selection.resource];
        for (char& c : resource.ResourceType)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        view_.lab5 = ResourceTypeName(resource.ResourceType) + resource.KeyName +
                     Tr("，DNS数据为：") + resource.KeyValue;
        view_.lab6 = Tr("该主机转发到URL：") + resource.TransURL;
    }
    ShowDomain(view_, domain);
    frontEnd_.StateChanged();
}

void DomainView::CommandDomains(bool json, CommandDone done) {
    RefreshDomains([this, json, done = std::move(done)](bool ok, const std::string& errorText) {
        if (!ok) return done({1, "vorta: " + errorText + "\n"});
        FillDomainTree();
        const auto list = session_.ServiceList();
        done({0, json ? FormatDomainsJson(list.get()) + "\n" : FormatDomainsText(list.get())});
    });
}

void DomainView::Stop() {
    domainsTrd_.Stop();
    domainsWaiters_.clear();  // the channel answers these itself
}

}  // namespace vorta

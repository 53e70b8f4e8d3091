#pragma once
// The domain page: the tree of the logon's domains, the labels of the selected node, and the
// refresh that fetches the list again (from the button or the domains command). Loop's thread.

#include <functional>
#include <string>
#include <vector>

#include "core/ClientConfig.h"
#include "core/ClientContext.h"
#include "core/ExchangeTrd.h"
#include "core/Logon.h"
#include "core/LogonControl.h"

namespace vorta {

class DomainView {
public:
    // `logon`: a refresh that succeeds for the logon in force starts its service list thread.
    DomainView(const ClientContext& context, LogonSession& session, LogonControl& logon);

    // The refresh's exchange runs on a worker; a click while it is out is ignored.
    void BtnRefreshDomainInfoClick();
    bool Busy() const { return domainsTrd_.Busy(); }
    void FillDomainTree();
    void TreeViewDNSClick(DomainSelection selection);
    // The refresh button's exchange, then the domains with their resources.
    void CommandDomains(bool json, CommandDone done);

    // Abandons the refresh and drops the commands waiting for it.
    void Stop();

private:
    // Starts the refresh exchange unless it is out already; `then` runs on the loop's thread
    // with its outcome.
    using DomainsThen = std::function<void(bool ok, const std::string& errorText)>;
    void RefreshDomains(DomainsThen then);

    ViewState& view_;
    IClientView& frontEnd_;
    SharedSettings& settings_;
    LogonSession& session_;
    LogonControl& logon_;
    TExchangeTrd domainsTrd_;
    std::vector<DomainsThen> domainsWaiters_;
};

}  // namespace vorta

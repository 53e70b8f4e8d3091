#include "platform/LiteralResolver.h"

#include <stdexcept>

#include "platform/NetworkTables.h"

namespace vorta::platform {

std::vector<std::string> ResolveIp4Literal(const std::string& host) {
    const auto address = ParseIp4(host);
    if (!address) throw std::runtime_error(kHostNotFound);
    return {Ip4ToText(*address)};
}

HostResolver ResolverOrLiterals(HostResolver resolver) {
    return resolver ? std::move(resolver) : HostResolver(ResolveIp4Literal);
}

}  // namespace vorta::platform

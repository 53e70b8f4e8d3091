#pragma once

#include <string_view>

namespace devservice::detail {

// fixture.json as it was when the library was configured.
std::string_view builtInFixtureJson();

}  // namespace devservice::detail

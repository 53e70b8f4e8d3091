#pragma once
// Settings that tests and labs may give through the environment (VORTA_…).

namespace vorta::platform {

// The variable's value, or null when it is unset or empty. A build without test hooks ignores
// these in the service's account (root, the local system account), so that no environment can
// point the service at another program.
const char* TestSetting(const char* name);

}  // namespace vorta::platform

#include "core/Settings.h"

#include <algorithm>

namespace vorta {

bool IsSettingName(std::string_view name) {
    return std::find(kSettingNames.begin(), kSettingNames.end(), name) != kSettingNames.end();
}

}  // namespace vorta

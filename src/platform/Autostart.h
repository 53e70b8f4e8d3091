#pragma once
// Starting the desktop client when the user's session starts.

namespace vorta::platform {

class IAutostart {
public:
    virtual ~IAutostart() = default;
    // Creates or removes the autostart entry. Throws std::system_error on failure.
    virtual void SetAutostart(bool enabled) = 0;
    virtual bool IsAutostartSet() = 0;
};

}  // namespace vorta::platform

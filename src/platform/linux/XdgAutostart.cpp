#include "platform/linux/XdgAutostart.h"

#include <cstdlib>
#include <system_error>

#include "platform/AtomicFile.h"

namespace vorta::platform {
namespace {

// Quotes one Exec argument: reserved characters need double quotes, and inside them ", `, $
// and \ are escaped; the entry format then escapes every backslash once more.
std::string QuoteArgument(const std::string& arg) {
    const bool plain =
        !arg.empty() && arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos;
    if (plain) return arg;
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$')
            quoted += "\\\\";  // becomes \\c
        else if (c == '\\')
            quoted += "\\\\\\";  // four backslashes in all
        else if (c == '%')
            quoted += '%';  // a literal % is written %%
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string XdgAutostart::EntryText(const std::vector<std::string>& command) {
    std::string exec;
    for (const auto& arg : command) {
        if (!exec.empty()) exec += ' ';
        exec += QuoteArgument(arg);
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vorta\n"
           "Comment=Keeps the Vorta service told of this machine's addresses\n"
           "Exec=" +
           exec +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::filesystem::path XdgAutostart::DefaultDir() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::filesystem::path(config) / "autostart";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".config" / "autostart";
}

void XdgAutostart::SetAutostart(bool enabled) {
    if (enabled) {
        WriteFileAtomically(EntryFile(), EntryText(command_), kWorldReadable);
        return;
    }
    std::error_code ec;
    std::filesystem::remove(EntryFile(), ec);
    if (ec) throw std::system_error(ec, "cannot remove " + EntryFile().string());
}

bool XdgAutostart::IsAutostartSet() {
    std::error_code ec;
    return std::filesystem::exists(EntryFile(), ec);
}

}  // namespace vorta::platform

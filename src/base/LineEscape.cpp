#include "base/LineEscape.h"

namespace vorta {

std::string EscapeLineText(std::string_view text, bool tabs) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t' && tabs)
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string UnescapeLineText(std::string_view text, bool tabs) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' && tabs ? '\t' : c;
    }
    return out;
}

}  // namespace vorta

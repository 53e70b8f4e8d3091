#pragma once
// The controller's view as lines of text, for a front end in another process: the view state's
// fields, the line list, the domain tree, the log and the events the controller raises. A
// stream opens with a full snapshot; after it come only what changed. Every line is a tag and
// tab-separated fields, each escaped so that it holds no tab and no line break; a "." line ends
// a batch, after which the front end renders.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ClientView.h"
#include "core/LogList.h"
#include "core/ViewState.h"

namespace vorta::viewwire {

// `\` `\t` `\n` `\r` as two-character escapes, and back.
std::string Escape(std::string_view text);
std::string Unescape(std::string_view text);
// One line of fields: the first is the tag, the rest escaped.
std::string Line(std::initializer_list<std::string_view> fields);
// A line's fields, unescaped (the tag first).
std::vector<std::string> Fields(std::string_view line);

// The view state's fields that travel, as (name, value) in a fixed order. The password never
// does: a front end elsewhere sends one only when its user typed it. The line list and the
// domain tree travel as lines of their own (see StateLines).
using FieldList = std::vector<std::pair<std::string, std::string>>;
FieldList StateFields(const ViewState& view, const std::string& serviceUrl);
// Sets the user input field `name` (the boxes and buttons a front end writes); false for a name
// that is no such field or a value it cannot take.
bool SetInputField(ViewState& view, std::string_view name, std::string_view value);

// What a stream carries beside the fields.
std::string LinesLines(const std::vector<LineRow>& rows);  // the whole line list
std::string DomainLines(const TGetServiceListResp* domains);
std::string LogLine(const TLogEntry& entry);
inline constexpr std::string_view kLogCleared = "LC\n";
inline constexpr std::string_view kBatchEnd = ".\n";
std::string HintLine(const std::string& text);
std::string MessageLine(const std::string& text, const std::string& caption, MessageIcon icon);
std::string ShowLine();
std::string FocusLine(EditBox box);
std::string BeepLine(unsigned type);
std::string ExitLine();

// The front end's copy of a client's view, kept from the stream's lines.
class ViewMirror {
public:
    // Applies one line; events go to `view` as they come, and a batch end asks it to render.
    // False for a line this version does not know, which is skipped.
    bool Apply(std::string_view line, IClientView& view);
    // Forgets what it had (the stream ended): the view shows a client that is not connected.
    void Reset();

    const ViewState& View() const { return view_; }
    ViewState& View() { return view_; }
    const TLogList& Log() const { return log_; }
    const std::string& ServiceUrl() const { return serviceUrl_; }

private:
    ViewState view_;
    TLogList log_;
    std::string serviceUrl_;
    // The line list and the domain tree arrive as a count and then their rows.
    std::vector<LineRow> rows_;
    std::size_t rowsLeft_ = 0;
    std::shared_ptr<TGetServiceListResp> domains_;
    std::size_t domainsLeft_ = 0;
    std::size_t resourcesLeft_ = 0;
};

}  // namespace vorta::viewwire

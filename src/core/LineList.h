#pragma once
// The line list as the window shows it, and the changes its buttons make. Each change shows the
// list again and tells the user in a message box why it was refused or failed. Loop's thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ClientView.h"
#include "core/ViewState.h"
#include "lines/LineInfo.h"
#include "lines/LinesMng.h"

namespace vorta {

class LineList {
public:
    // `lines`: the client's lines manager, empty before the start, after the shutdown and on a
    // system that offers no lines.
    LineList(const std::unique_ptr<TLinesMng>& lines, ViewState& view, IClientView& frontEnd)
        : lines_(lines), view_(view), frontEnd_(frontEnd) {}

    // The dialog's fields are MasterGroup, IsNecessary, LineKind, EntryName, UserName and
    // Password; a text the lines file cannot hold as given is refused, never cut.
    void AddLine(const TLineInfo& fields);
    // `lineId`: the record the window showed, found again by its id since the list may have
    // changed while a dialog was open. Modify takes the group, the necessary flag and the user
    // data; the line's kind and entry name stay.
    void ModifyLine(const std::string& lineId, const TLineInfo& fields);
    void DeleteLine(const std::string& lineId);

    void FillLineList();
    // The line list's rows as the lines manager has them now; nothing without one or when it
    // cannot be read.
    std::optional<std::vector<LineRow>> LineRows() const;

private:
    // Runs a change of the lines; false (the user told why) when there are no lines or it threw.
    bool ChangeLines(const std::function<void(TLinesMng&)>& change);

    const std::unique_ptr<TLinesMng>& lines_;
    ViewState& view_;
    IClientView& frontEnd_;
};

}  // namespace vorta

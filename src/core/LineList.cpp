#include "core/LineList.h"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <utility>

#include "base/Translate.h"
#include "lines/LineRules.h"
#include "protocol/DebugLog.h"

namespace vorta {
namespace {

constexpr const char* kSelectLine = TrMark("请先选择要操作的线路！");

}  // namespace

bool LineList::ChangeLines(const std::function<void(TLinesMng&)>& change) {
    try {
        if (!lines_) throw std::runtime_error(Tr("this system offers no lines"));
        change(*lines_);
        return true;
    } catch (const std::exception& e) {
        // A failed save changed nothing; the list shows what is kept.
        frontEnd_.MessageBox(e.what(), kMessageCaption, MessageIcon::Error);
        FillLineList();
        return false;
    }
}

void LineList::AddLine(const TLineInfo& fields) {
    ChangeLines([&](TLinesMng& lines) {
        TLineInfo record;
        record.MasterGroup = fields.MasterGroup;
        record.IsNecessary = fields.IsNecessary;
        record.LineKind = fields.LineKind;
        record.EntryName = fields.EntryName;
        record.UserName = fields.UserName;
        record.Password = fields.Password;
        // Texts the lines file cannot hold as given are refused, as `vorta lines add` does.
        if (std::string why = TextsRefusal(record); !why.empty()) {
            frontEnd_.MessageBox(why, kMessageCaption, MessageIcon::Error);
        } else if (FindEntry(lines.Records(), record.EntryName)) {
            frontEnd_.MessageBox(Tr(kLineExists), kMessageCaption, MessageIcon::Error);
        } else {
            record.LineID = NewLineId();
            if (!lines.AddLine(record))
                frontEnd_.MessageBox(Tr(kTooManyLines), kMessageCaption, MessageIcon::Information);
        }
        FillLineList();
    });
}

void LineList::ModifyLine(const std::string& lineId, const TLineInfo& fields) {
    ChangeLines([&](TLinesMng& lines) {
        const auto found = lines.Find(lineId);
        std::string why =
            found ? TextRefusal(LineText::UserName, fields.UserName) : Tr(kSelectLine);
        if (why.empty()) why = TextRefusal(LineText::Password, fields.Password);
        if (why.empty()) {
            // Kind, entry name and id stay: the dialog may not even list the line's connection
            // any more, and its empty choice is no new name.
            TLineInfo record = found->info;
            record.MasterGroup = fields.MasterGroup;
            record.IsNecessary = fields.IsNecessary;
            record.UserName = fields.UserName;
            record.Password = fields.Password;
            if (!lines.ModifyLineById(lineId, record)) why = Tr(kSelectLine);
        }
        if (!why.empty()) frontEnd_.MessageBox(why, kMessageCaption, MessageIcon::Error);
        FillLineList();
    });
}

void LineList::DeleteLine(const std::string& lineId) {
    ChangeLines([&](TLinesMng& lines) {
        if (!lines.DeleteLineById(lineId))
            frontEnd_.MessageBox(Tr(kSelectLine), kMessageCaption, MessageIcon::Error);
        FillLineList();
    });
}

std::optional<std::vector<LineRow>> LineList::LineRows() const {
    if (!lines_) return std::nullopt;
    try {
        std::vector<LineRow> rows;
        for (const auto& [info, line] : lines_->Snapshot()) {
            const std::int64_t reportedAt = line ? std::chrono::duration_cast<std::chrono::seconds>(
                                                       line->ReportedAt().time_since_epoch())
                                                       .count()
                                                 : 0;
            rows.push_back({info.IsActive, info.MasterGroup, info.EntryName, info.IsNecessary,
                            info.IpAddress, line ? line->Reason() : "", reportedAt, info.LineID});
        }
        return rows;
    } catch (const std::exception& e) {
        Debug(std::string("line list: ") + e.what());
        return std::nullopt;  // a list that cannot be read keeps what it showed
    }
}

void LineList::FillLineList() {
    if (auto rows = LineRows()) view_.Lines = std::move(*rows);
    frontEnd_.StateChanged();
}

}  // namespace vorta

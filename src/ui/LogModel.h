#pragma once
// The log list's rows, read from the controller's log when the view asks for them: nothing is
// copied into the control. New entries come in as inserted rows (newest first), the oldest go as
// removed ones, so that a view keeps its selection on the same entries.

#include <QAbstractTableModel>

#include "core/LogList.h"

namespace vorta::ui {

class TLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TLogModel(const TLogList& log, QObject* parent = nullptr)
        : QAbstractTableModel(parent), log_(&log) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The log changed (entries added, old ones dropped, or emptied); returns how many rows came
    // in at the top, 0 when the whole list was reset.
    int Sync();
    // Shows the log from scratch.
    void Reset();
    // Reads another log from now on.
    void SetLog(const TLogList& log) {
        log_ = &log;
        Reset();
    }

private:
    const TLogList* log_;
    int rows_ = 0;  // what the views were told of
    std::uint64_t added_ = 0, clears_ = 0;
};

}  // namespace vorta::ui

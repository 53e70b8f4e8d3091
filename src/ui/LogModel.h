#pragma once
// The log list's rows, read from the controller's log when the view asks for them: nothing is
// copied into the control.

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

    // The log changed (an entry added, old ones dropped, or emptied).
    void Reset();
    // Reads another log from now on.
    void SetLog(const TLogList& log) {
        log_ = &log;
        Reset();
    }

private:
    const TLogList* log_;
};

}  // namespace vorta::ui

#include "ui/LogModel.h"

#include "ui/Icons.h"

namespace vorta::ui {

int TLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ ||
        static_cast<std::size_t>(index.row()) >= log_->size())
        return {};
    const TLogEntry& entry = (*log_)[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case 0:
                return QString::fromUtf8(TLogList::KindName(entry.Kind));
            case 1:
                return QString::fromStdString(entry.Text);
            default:
                return QString::fromStdString(TLogList::FormatTime(entry.Time));
        }
    }
    if (role == Qt::DecorationRole && index.column() == 0) return LogKindIcon(entry.Kind);
    return {};
}

QVariant TLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[] = {QT_TR_NOOP("标志"), QT_TR_NOOP("消息"),
                                          QT_TR_NOOP("日期/时间")};
    return section >= 0 && section < 3 ? tr(kTitles[section]) : QVariant();
}

void TLogModel::Reset() {
    beginResetModel();
    rows_ = static_cast<int>(log_->size());
    added_ = log_->Added();
    clears_ = log_->Clears();
    endResetModel();
}

int TLogModel::Sync() {
    const std::uint64_t fresh = log_->Added() - added_;
    const int size = static_cast<int>(log_->size());
    if (log_->Clears() != clears_ || fresh > static_cast<std::uint64_t>(size)) {
        Reset();
        return 0;
    }
    added_ = log_->Added();
    const int in = static_cast<int>(fresh);
    if (in > 0) {
        beginInsertRows({}, 0, in - 1);
        rows_ += in;
        endInsertRows();
    }
    if (rows_ > size) {
        beginRemoveRows({}, size, rows_ - 1);
        rows_ = size;
        endRemoveRows();
    }
    return in;
}

}  // namespace vorta::ui

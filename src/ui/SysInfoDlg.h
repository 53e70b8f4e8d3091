#pragma once
// The system information dialog: a read-only tree of what the collector reports, rebuilt on
// every show.

#include <QDialog>

#include "sysinfo/SysInfo.h"

class QTreeWidget;

namespace vorta::ui {

class TFrmSysInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSysInfo(TSysInfo& sysInfo, QWidget* parent = nullptr);

    QTreeWidget* Tree() { return tree_; }
    // Clears and fills the tree; a collector error stops it and leaves the nodes added so far.
    void Rebuild();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TSysInfo& sysInfo_;
    QTreeWidget* tree_;
};

}  // namespace vorta::ui

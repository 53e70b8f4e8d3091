#pragma once
// The about box: the logo and the machine's physical memory, read again on every show.

#include <QDialog>
#include <cstdint>
#include <string>

#include "core/MemoryLine.h"
#include "platform/SystemFacts.h"

class QLabel;

namespace vorta::ui {

class TFAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFAbout(const platform::ISystemFacts* facts, QWidget* parent = nullptr);

    QString MemoryText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const platform::ISystemFacts* facts_;
    QLabel* lblMem_;
};

}  // namespace vorta::ui

#pragma once
// The about box: the logo and the machine's physical memory, read again on every show.

#include <QDialog>
#include <cstdint>
#include <string>

#include "platform/SystemFacts.h"

class QLabel;

namespace vorta::ui {

// "Windows可用的物理内存：512MB [200MB Free]", each value in MB rounded half to even.
std::string MemoryLine(std::uint64_t totalBytes, std::uint64_t availableBytes);

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

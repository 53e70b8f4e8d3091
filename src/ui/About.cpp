#include "ui/About.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/Icons.h"

namespace vorta::ui {
TFAbout::TFAbout(const platform::ISystemFacts* facts, QWidget* parent)
    : QDialog(parent), facts_(facts) {
    setObjectName("FAbout");
    setWindowTitle(tr("关于"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    QFont font("宋体");
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(352, 243);

    auto* imgLogo = new QLabel(this);
    imgLogo->setAttribute(Qt::WA_TranslucentBackground);
    imgLogo->setGeometry(18, 15, 150, 50);
    imgLogo->setPixmap(LogoImage());
    auto* bevel1 = new QFrame(this);
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setGeometry(7, 184, 337, 2);
    lblMem_ = new QLabel("Memory", this);
    lblMem_->move(15, 194);
    auto* btnOK = new QPushButton(tr("确定"), this);
    btnOK->setGeometry(256, 208, 75, 21);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TFAbout::accept);
}

QString TFAbout::MemoryText() const {
    return lblMem_->text();
}

void TFAbout::showEvent(QShowEvent* event) {
    const platform::MemoryFacts memory = facts_ ? facts_->Memory() : platform::MemoryFacts{};
    lblMem_->setText(QString::fromStdString(MemoryLine(memory.total, memory.available)));
    lblMem_->adjustSize();
    QDialog::showEvent(event);
}

}  // namespace vorta::ui

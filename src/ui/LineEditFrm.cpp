#include "ui/LineEditFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "base/Translate.h"
#include "core/ClientView.h"
#include "lines/ConnectionChoices.h"
#include "lines/LineFactory.h"
#include "lines/LineRules.h"

namespace vorta::ui {
namespace {

QLabel* Label(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QComboBox* DropDown(QWidget* parent, int top) {
    auto* box = new QComboBox(parent);
    box->setEditable(false);
    box->setGeometry(80, top, 270, 20);
    return box;
}

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

TLineEditFrm::TLineEditFrm(platform::INetworkTables* tables, platform::IRemoteAccess* ras,
                           QWidget* parent)
    : QDialog(parent), tables_(tables), ras_(ras) {
    setObjectName("LineEditFrm");
    setWindowTitle(tr("线路信息"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    QFont font("宋体");
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(368, 166);

    Label(this, tr("线路选择"), 16, 15);
    cbbLineType_ = DropDown(this, 12);
    cbbLineType_->addItem(tr("我的拨号连接"));
    Label(this, tr("连接类型"), 16, 43);
    cbbUType_ = DropDown(this, 40);
    cbbUType_->addItems({"ADSL", "ISDN"});
    label6_ = Label(this, tr("用户名称"), 16, 71);
    edUserName_ = new QLineEdit(this);
    edUserName_->setGeometry(80, 68, 100, 20);
    label7_ = Label(this, tr("用户密码"), 194, 71);
    edUserPwd_ = new QLineEdit(this);
    edUserPwd_->setEchoMode(QLineEdit::Password);
    edUserPwd_->setGeometry(250, 68, 100, 20);

    Label(this, tr("线路组别"), 16, 101);
    auto* panel1 = new QFrame(this);
    panel1->setGeometry(80, 95, 140, 24);
    rbMasterGroup_ = new QRadioButton(tr("主组"), panel1);
    rbMasterGroup_->move(4, 3);
    rbMasterGroup_->setChecked(true);
    rbSlave_ = new QRadioButton(tr("备组"), panel1);
    rbSlave_->move(72, 3);
    cbIsNecessary_ = new QCheckBox(tr("必通线路"), this);
    cbIsNecessary_->move(250, 99);

    auto* bevel1 = new QFrame(this);
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    bevel1->setGeometry(8, 124, 352, 2);
    btnOK_ = new QPushButton(tr("确定"), this);
    btnOK_->setGeometry(196, 134, 75, 23);
    btnOK_->setDefault(true);
    bitBtn2_ = new QPushButton(tr("取消"), this);
    bitBtn2_->setGeometry(280, 134, 75, 23);

    setTabOrder(cbbLineType_, cbbUType_);
    setTabOrder(cbbUType_, edUserName_);
    setTabOrder(edUserName_, edUserPwd_);
    setTabOrder(edUserPwd_, cbIsNecessary_);
    setTabOrder(cbIsNecessary_, rbMasterGroup_);
    setTabOrder(rbMasterGroup_, rbSlave_);
    setTabOrder(rbSlave_, btnOK_);
    setTabOrder(btnOK_, bitBtn2_);

    connect(btnOK_, &QPushButton::clicked, this, &TLineEditFrm::accept);
    connect(bitBtn2_, &QPushButton::clicked, this, &TLineEditFrm::reject);
    connect(cbbUType_, &QComboBox::currentIndexChanged, this, [this](int kind) {
        // Only an added line may change its kind; the connections follow the kind.
        if (cbbUType_->isEnabled()) FillConnections(kind);
        cbbUTypeChange();
    });

    ShowMessage = [this](const QString& text, const QString& caption) {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
        box.exec();
    };
}

void TLineEditFrm::SetRecord(const TLineInfo& record) {
    record_ = record;
}

std::string TLineEditFrm::EntryName() const {
    return cbbLineType_->currentText().toStdString();
}
int TLineEditFrm::LineKind() const {
    return cbbUType_->currentIndex();
}
std::string TLineEditFrm::UserName() const {
    return edUserName_->text().toStdString();
}
std::string TLineEditFrm::Password() const {
    return edUserPwd_->text().toStdString();
}
bool TLineEditFrm::MasterGroup() const {
    return rbMasterGroup_->isChecked();
}
bool TLineEditFrm::IsNecessary() const {
    return cbIsNecessary_->isChecked();
}

int TLineEditFrm::exec() {
    FormShow();
    return QDialog::exec();
}

void TLineEditFrm::FormShow() {
    std::vector<std::string> kinds;
    TLineFactory::GetLineTypeNames(kinds);
    {
        const QSignalBlocker quiet(cbbUType_);
        cbbUType_->clear();
        for (const auto& kind : kinds) cbbUType_->addItem(Text(kind));
    }
    btnOK_->setEnabled(EditMode == 1 || EditMode == 2);

    const bool adding = EditMode == 1;
    const int kind = adding ? 0 : record_.LineKind;
    {
        const QSignalBlocker quiet(cbbUType_);
        cbbUType_->setCurrentIndex(kind);
    }
    FillConnections(kind);
    if (adding) {
        cbbLineType_->setCurrentIndex(cbbLineType_->count() > 0 ? 0 : -1);
        edUserName_->clear();
        edUserPwd_->clear();
        rbMasterGroup_->setChecked(true);
        cbIsNecessary_->setChecked(false);
    } else {
        // A connection the system no longer has leaves the list without a selection.
        cbbLineType_->setCurrentIndex(
            cbbLineType_->findText(Text(record_.EntryName), Qt::MatchFixedString));
        edUserName_->setText(Text(record_.UserName));
        edUserPwd_->setText(Text(record_.Password));
        // The two buttons exclude each other: checking one clears the other.
        (record_.MasterGroup ? rbMasterGroup_ : rbSlave_)->setChecked(true);
        cbIsNecessary_->setChecked(record_.IsNecessary);
    }
    cbbLineType_->setEnabled(adding);
    cbbUType_->setEnabled(adding);
    cbbUTypeChange();
}

void TLineEditFrm::cbbUTypeChange() {
    const bool visible = TLineFactory::NeedUserInfo(cbbUType_->currentIndex());
    label6_->setVisible(visible);
    label7_->setVisible(visible);
    edUserName_->setVisible(visible);
    edUserPwd_->setVisible(visible);
}

void TLineEditFrm::FillConnections(int kind) {
    const QString kept = cbbLineType_->currentText();
    cbbLineType_->clear();
    for (const auto& name : ConnectionChoices(kind, tables_, ras_))
        cbbLineType_->addItem(Text(name));
    const int again = cbbLineType_->findText(kept, Qt::MatchFixedString);
    cbbLineType_->setCurrentIndex(again >= 0 ? again : (cbbLineType_->count() > 0 ? 0 : -1));
}

void TLineEditFrm::accept() {
    const bool needUserInfo = TLineFactory::NeedUserInfo(cbbUType_->currentIndex());
    if (needUserInfo &&
        (edUserName_->text().trimmed().isEmpty() || edUserPwd_->text().trimmed().isEmpty())) {
        ShowMessage(tr("请输入用户名，密码信息！"), Tr(kMessageCaption));
        edUserName_->setFocus();
        return;
    }
    // What the lines file cannot hold as typed is refused here, with its limit, rather than
    // cut: the controller refuses it too. An existing line keeps its connection.
    struct Checked {
        LineText field;
        std::string text;
        QWidget* focus;
        bool shown;
    };
    const Checked checks[] = {{LineText::EntryName, EntryName(), cbbLineType_, EditMode == 1},
                              {LineText::UserName, UserName(), edUserName_, needUserInfo},
                              {LineText::Password, Password(), edUserPwd_, needUserInfo}};
    for (const Checked& check : checks) {
        if (!check.shown) continue;
        if (const std::string why = TextRefusal(check.field, check.text); !why.empty()) {
            ShowMessage(Text(why), Tr(kMessageCaption));
            check.focus->setFocus();
            return;
        }
    }
    QDialog::accept();
}

}  // namespace vorta::ui

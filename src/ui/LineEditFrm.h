#pragma once
// The modal dialog describing one line: its connection, kind, user data, group and whether it
// is necessary. The main window reads the result after OK and changes the lines itself.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "lines/LineInfo.h"
#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vorta::ui {

class TLineEditFrm : public QDialog {
    Q_OBJECT
public:
    TLineEditFrm(platform::INetworkTables* tables, platform::IRemoteAccess* ras,
                 QWidget* parent = nullptr);

    std::uint8_t EditMode = 1;  // 1 add, 2 modify
    int LineIndex = -1;

    // The record shown in modify mode.
    void SetRecord(const TLineInfo& record);

    // The result, read after OK.
    std::string EntryName() const;
    int LineKind() const;
    std::string UserName() const;
    std::string Password() const;
    bool MasterGroup() const;
    bool IsNecessary() const;

    // Fills the controls for EditMode, then runs the dialog.
    int exec() override;
    void FormShow();

    // Shows a refusal; a test replaces it to see the text without a modal box.
    std::function<void(const QString& text, const QString& caption)> ShowMessage;

    // For tests and the main window's checks.
    QComboBox* cbbLineType() const { return cbbLineType_; }
    QComboBox* cbbUType() const { return cbbUType_; }
    QLineEdit* edUserName() const { return edUserName_; }
    QLineEdit* edUserPwd() const { return edUserPwd_; }
    QRadioButton* rbMasterGroup() const { return rbMasterGroup_; }
    QRadioButton* rbSlave() const { return rbSlave_; }
    QCheckBox* cbIsNecessary() const { return cbIsNecessary_; }
    QPushButton* BtnOK() const { return btnOK_; }
    QPushButton* BitBtn2() const { return bitBtn2_; }

public slots:
    void accept() override;

private:
    void cbbUTypeChange();
    void FillConnections(int kind);

    platform::INetworkTables* tables_;
    platform::IRemoteAccess* ras_;
    TLineInfo record_;
    QComboBox* cbbLineType_;
    QComboBox* cbbUType_;
    QLabel* label6_;
    QLabel* label7_;
    QLineEdit* edUserName_;
    QLineEdit* edUserPwd_;
    QRadioButton* rbMasterGroup_;
    QRadioButton* rbSlave_;
    QCheckBox* cbIsNecessary_;
    QPushButton* btnOK_;
    QPushButton* bitBtn2_;
};

}  // namespace vorta::ui

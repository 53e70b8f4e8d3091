#pragma once
// The modal dialog describing one line: its connection, kind, user data, group and whether it
// is necessary. The main window reads the result after OK and sends it to the controller.

#include <cstdint>

#include "lines/LineInfo.h"
#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"
#include "ui/win32/Dialog.h"

namespace vorta::win32ui {

class LineEditDialog : public Dialog {
public:
    LineEditDialog(platform::INetworkTables* tables, platform::IRemoteAccess* ras);

    std::uint8_t EditMode = 1;  // 1 add, 2 modify
    int LineIndex = -1;
    // The record shown in modify mode; after OK, the dialog's fields.
    TLineInfo Record;

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void cbbUTypeChange();
    void FillConnections(int kind);
    // FormCloseQuery of the OK result: false (with the reason shown) when the close is refused.
    bool MayClose();
    int Kind() const;

    platform::INetworkTables* tables_;
    platform::IRemoteAccess* ras_;
    HWND cbbLineType_ = nullptr, cbbUType_ = nullptr;
    HWND label6_ = nullptr, label7_ = nullptr, edUserName_ = nullptr, edUserPwd_ = nullptr;
    HWND rbMasterGroup_ = nullptr, rbSlave_ = nullptr, cbIsNecessary_ = nullptr;
    HWND btnOK_ = nullptr;
};

}  // namespace vorta::win32ui

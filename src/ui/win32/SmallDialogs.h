#pragma once
// The about box, the system information tree, and the question the exit action of an attached
// window asks.

#include "platform/SystemFacts.h"
#include "sysinfo/SysInfo.h"
#include "ui/win32/Dialog.h"
#include "ui/win32/Gdi.h"

namespace vorta::win32ui {

// The logo and the machine's physical memory, read again on every show.
class AboutDialog : public Dialog {
public:
    explicit AboutDialog(const platform::ISystemFacts* facts);

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    bool OnOther(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    const platform::ISystemFacts* facts_;
    UniqueIcon logo_;
};

// A read-only tree of what the collector reports, rebuilt on every show.
class SysInfoDialog : public Dialog {
public:
    explicit SysInfoDialog(TSysInfo& sysInfo);

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    TSysInfo& sysInfo_;
    UniqueImageList images_;
};

// Stop the service the window shows, close the window only, or neither.
class ExitDialog : public Dialog {
public:
    ExitDialog();
    enum : int { kStopService = 100, kCloseWindow = 101 };

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
};

}  // namespace vorta::win32ui

#pragma once
// What the controller asks of its front end (the window, or the headless mode).

#include <string>

#include "base/Translate.h"

namespace vorta {

enum class EditBox { UserName, Password };
enum class MessageIcon { Information, Error };

class IClientView {
public:
    virtual ~IClientView() = default;
    virtual void ShowMainWindow() = 0;                   // restore from the tray and raise
    virtual void ShowHint(const std::string& text) = 0;  // the sliding notification
    virtual void LogAdded() = 0;                         // a new entry heads the log
    virtual void Beep(unsigned type) = 0;
    virtual void FocusEdit(EditBox box) = 0;
    virtual void MessageBox(const std::string& text, const std::string& caption,
                            MessageIcon icon) = 0;
    virtual void StateChanged() = 0;  // the view state changed; render it again
    virtual void Exit() = 0;          // the exit action
};

inline constexpr const char* kMessageCaption = TrMark("提示信息");
inline constexpr const char* kApplicationTitle = TrMark("Vorta客户端 V1.0");

}  // namespace vorta

#pragma once
// The main window: a borderless 568 x 335 window with its own title strip, a menu bar, four
// pages and a tray icon through which the client lives while the window is hidden. It renders
// a client's view state through its face (this process's client, or one it is attached to) and
// forwards the user's actions; the controller decides.

#include <QPoint>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/ClientFace.h"
#include "core/ClientView.h"
#include "platform/NetworkTables.h"
#include "platform/RemoteAccess.h"
#include "platform/SystemFacts.h"
#include "ui/DesktopNotices.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTabWidget;
class QTableView;
class QToolButton;
class QTreeWidget;

namespace vorta::ui {

class TFAbout;
class TFrmSysInfo;
class TLineEditFrm;
class TLogModel;

// What the window needs beside the controller; every member may be left empty.
struct MainFrmContext {
    platform::INetworkTables* network = nullptr;  // the line edit dialog's connections
    platform::IRemoteAccess* ras = nullptr;
    const platform::ISystemFacts* facts = nullptr;  // the about box's memory line
    // Opens a web page or a mail link; none: the desktop's opener.
    std::function<void(const QUrl&)> openUrl;
    // The help file; empty: the installed web page of the manual.
    QString helpFile;
};

class TMainFrm : public QWidget {
    Q_OBJECT
public:
    TMainFrm(IClientFace& face, MainFrmContext context, QWidget* parent = nullptr);
    // Shows another client from now on (the service the window attached to, or its own).
    void SetFace(IClientFace& face);
    IClientFace& Face() const { return *face_; }
    ~TMainFrm() override;

    // What the controller asks for (through the view).
    void ShowMainWindow();
    // Slides the notification up; one raised while another shows (or slides down) follows it.
    void ShowHintWindow(const QString& text);
    void LogChanged();
    void FocusEdit(EditBox box);
    // Shown without waiting for the answer: the controller's loop runs on.
    void ShowMessage(const QString& text, const QString& caption, MessageIcon icon);
    void Render();

    // The user's actions.
    void btAddClick();
    void btModifyClick();
    void btDeleteClick();
    void BtnClearLogClick();
    void BtnSaveLogClick();
    void ToggleFromTray();
    void MenuItem2Click();
    void ShowMainFromHint();
    // The exit action: this process's client ends; for an attached window the user chooses
    // between stopping the service and closing the window only.
    void ExitClick();
    // Closing and minimising keep the client: to the tray, or minimised where there is none.
    void GoToTray();

    // Picks the file the log is saved to; empty: cancelled. Tests replace it.
    std::function<QString(const QString& suggestedName)> ChooseLogFile;
    // Asks a question with OK and Cancel; true for OK. Tests may replace it.
    std::function<bool(const QString& text, MessageIcon icon)> Confirm;
    enum class ExitChoice { StopService, CloseWindow, Cancel };
    // What the exit action of an attached window does. Tests may replace it.
    std::function<ExitChoice()> AskExit;
    // Ends the window program (not the client it is attached to).
    std::function<void()> CloseProgram;

    QSystemTrayIcon* Tray() const { return tray_; }
    TLineEditFrm* LineEditFrm();
    TLogModel* LogModel() const { return logModel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building (MainFrmLayout.cpp).
    QWidget* BuildTitleStrip();
    QMenuBar* BuildMenuBar();
    QWidget* BuildUserPage();
    QWidget* BuildAdvancedPage();
    QWidget* BuildDomainPage();
    QWidget* BuildLogPage();
    void BuildTray();
    QAction* AddAction(QMenu* menu, const char* name, const char* caption);

    // Rendering pieces.
    void RenderLines();
    void RenderDomains();
    void TreeSelectionChanged();
    int SelectedLine() const;
    // The LineID of the selected row as it was shown; empty without one.
    std::string SelectedLineId() const;
    void OpenPage(const char* pathAndQuery);
    void OpenHelp();
    void ShowSysInfo();
    void ShowAbout();
    bool DefaultConfirm(const QString& text, MessageIcon icon);
    QString DefaultChooseLogFile(const QString& suggestedName);
    // Sends the click with the edit boxes' text and `input` (a box's or button's new value).
    void Act(FaceActionKind kind, std::vector<std::pair<std::string, std::string>> input = {},
             std::vector<std::string> args = {});
    // A check box or radio button the user clicked.
    void Forward(FaceActionKind kind, const char* field, bool on);
    ExitChoice DefaultAskExit();

    IClientFace* face_;
    MainFrmContext context_;

    QWidget* title_ = nullptr;
    QPoint dragOffset_;
    bool dragging_ = false;
    QTabWidget* pages_ = nullptr;
    QLineEdit* editUserName_ = nullptr;
    QLineEdit* editPassword_ = nullptr;
    QPushButton* btnLogon_ = nullptr;
    QCheckBox* chkSavePwd_ = nullptr;
    QCheckBox* chkStartup_ = nullptr;
    QCheckBox* chkRunAsService_ = nullptr;
    QTreeWidget* listViewLine_ = nullptr;
    QCheckBox* cbIsInNet_ = nullptr;
    QRadioButton* rbAsMaster_ = nullptr;
    QRadioButton* rbAsSlave_ = nullptr;
    QCheckBox* cbInLANBack_ = nullptr;
    QCheckBox* chkUpdateSysInfo_ = nullptr;
    QLabel* labelWhy_ = nullptr;
    QLabel* label1Protol_ = nullptr;
    QPlainTextEdit* memoNative_ = nullptr;
    QTreeWidget* treeViewDNS_ = nullptr;
    QLabel* labs_[8] = {};  // lab1 .. lab7 by number; lab4 does not exist
    QTableView* listViewLog_ = nullptr;
    TLogModel* logModel_ = nullptr;
    QAction* action2_ = nullptr;
    QAction* action3_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    TLineEditFrm* lineEditFrm_ = nullptr;
    TFrmSysInfo* sysInfoDlg_ = nullptr;
    TFAbout* aboutDlg_ = nullptr;

    // What the controls show now, so that a render changes only what changed.
    std::vector<LineRow> shownLines_;
    // The edit boxes' texts as the view last had them: a render replaces the user's typing only
    // when the client changed them.
    std::string shownUserName_, shownPassword_;
    bool editsShown_ = false;
    bool linesShown_ = false;
    const void* shownDomains_ = nullptr;
    int shownPage_ = -1;
    std::optional<TrayState> trayShown_;
    // Notifications waiting for the one on screen; at most kQueuedHints, the oldest kept.
    std::deque<QString> hintQueue_;
    // Where the desktop cannot place the sliding window (Wayland): its notification service.
    TDesktopNotices* desktopNotices_ = new TDesktopNotices(this);
    bool desktopNoticesFailed_ = false;
    static constexpr std::size_t kQueuedHints = 4;
    bool rendering_ = false;
};

}  // namespace vorta::ui

#pragma once

#include "ui/Notifier.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class CQuorvaneDoc;
struct TroubleCount;
class CQuorvaneView;
class FindBar;
class BansDock;
class LedgerDock;
class ScheduleDock;
class ScheduleRunner;
class MachinesDock;

class QAction;
class QToolButton;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QToolBar;
class CSendToManyDlg;

// The main window: menus, tool bar, status bar, and the canvas above the
// control panel. It owns the file commands (New, Open, Save, Save As,
// recent files), asks to save a modified layout before it is replaced, and
// routes the layout commands to the document.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kRecentFiles = 4;
    static constexpr int kLowerPaneHeight = 300;

    CMainFrame(CQuorvaneDoc& document, QWidget* lowerPane, QWidget* parent = nullptr);

    CQuorvaneView* view() const { return m_view; }
    FindBar* findBar() const { return m_findBar; }
    // View, Machines: the list of every object.
    MachinesDock* machinesDock() const { return m_machines; }
    // View, Ledger: what the ledger keeps.
    LedgerDock* ledgerDock() const { return m_ledger; }
    BansDock* bansDock() const { return m_bans; }
    // View, Schedules: the schedules this window runs.
    ScheduleDock* scheduleDock() const { return m_schedules; }
    ScheduleRunner* scheduleRunner() const { return m_scheduleRunner; }
    // The scrolling frame the control panel sits in (hidden by View,
    // Control Panel), and the splitter between it and the canvas.
    QScrollArea* panelArea() const { return m_panelArea; }
    QSplitter* splitter() const { return m_splitter; }
    // The status bar button that shows only what is down.
    QToolButton* downButton() const { return m_downButton; }
    // Where the down and back alerts go; the desktop's notifications unless
    // replaced. Not owned.
    void setNotifier(Notifier* notifier);
    QString documentPath() const { return m_path; }

    // Opens a layout file as File, Open does; false when it could not be read.
    bool OpenLayout(const QString& path);
    bool SaveLayout(const QString& path);

    // The recent-file list, newest first.
    QStringList RecentFiles() const;
    // The action of a menu command, found by its id; null when none.
    QAction* action(int id) const;

    // Send to N machines...: the results window (made on first use), with
    // the commands filled in; sendNow sends them at once.
    CSendToManyDlg* OpenSendToMany(const QString& commands = QString(), bool sendNow = false);
    // Presets...: edited in a dialog, kept in the settings.
    void OpenPresets();
    // Runs a preset on the picked machines and shows the results.
    bool RunPreset(const QString& name);
    // Change Map... on the picked game servers.
    void OpenChangeMap();

signals:
    // Modules, Live Feeds: the program opens the settings and applies them.
    void feedSettingsRequested();
    // Modules, Ledger...: the program opens the ledger's settings.
    void ledgerSettingsRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& shortcut = {});
    void OnCommand(int id);
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnPrint(bool preview);
    void OnAbout();
    // Asks to save a modified layout; false when the operator cancels.
    bool SaveModified();
    void SetPath(const QString& path);
    void AddRecentFile(const QString& path);
    void UpdateRecentMenu();
    // "name[*] - Quorvane", with " — N down" while machines are down.
    void UpdateTitle();
    void OnTroubleCount(const TroubleCount& count);
    // F6 and Shift+F6: the focus goes from the canvas to the control panel
    // and back.
    void SwitchPane();
    void SaveSplitter() const;
    // The View menu's window items: control panel, machines, ledger, dark canvas.
    void AddWindowItems(QMenu* viewMenu);
    void RestoreSplitter();
    // The Objects menu's and the tool bar's actions on the picked machines.
    void AddParkItems(QMenu* objects, QToolBar* tools);
    // Lists the presets in the menu and the tool bar's drop-down.
    void FillPresetMenus();
    // "Send to N machines..." as the pick changes.
    void UpdateParkItems();

    CQuorvaneDoc& m_document;
    CQuorvaneView* m_view = nullptr;
    FindBar* m_findBar = nullptr;
    QWidget* m_lowerPane = nullptr;
    QSplitter* m_splitter = nullptr;
    QScrollArea* m_panelArea = nullptr;
    MachinesDock* m_machines = nullptr;
    LedgerDock* m_ledger = nullptr;
    BansDock* m_bans = nullptr;
    ScheduleRunner* m_scheduleRunner = nullptr;
    ScheduleDock* m_schedules = nullptr;
    QAction* m_scheduleAction = nullptr;
    QLabel* m_zoomPane = nullptr;
    QToolButton* m_downButton = nullptr;
    std::unique_ptr<Notifier> m_desktopNotifier;
    Notifier* m_notifier = nullptr;
    QMenu* m_recentMenu = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    QString m_path;
    std::map<int, QAction*> m_actions;
    CSendToManyDlg* m_sendToMany = nullptr;
    QAction* m_sendToManyAction = nullptr;
    QMenu* m_presetMenu = nullptr;
    QMenu* m_presetDropDown = nullptr;
};

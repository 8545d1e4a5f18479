#include "ui/CMainFrame.h"

#include "core/Operator.h"
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CommandIds.h"
#include "layout/LayoutFile.h"
#include "objects/MachineTrouble.h"
#include "ui/BansDock.h"
#include "ui/CAboutDlg.h"
#include "ui/CQuorvaneView.h"
#include "ui/DesktopNotifier.h"
#include "ui/DownAlert.h"
#include "ui/FindBar.h"
#include "ui/LedgerDock.h"
#include "layout/ScheduleRunner.h"
#include "ui/ScheduleDock.h"
#include "ui/LegendDialog.h"
#include "ui/MachinesDock.h"
#include "ui/PlainMessageBox.h"
#include "ui/SplitterShare.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

namespace {

// Commands of the file, view and help menus.
enum FrameCommand : int
{
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

const QString kRecentGroup = QStringLiteral("Recent File List");
const QString kSplitterKey = QStringLiteral("Window/Splitter");
const QString kGeometryKey = QStringLiteral("Window/Geometry");
const QString kDocksKey = QStringLiteral("Window/Docks");
const QString kDarkCanvasKey = QStringLiteral("View/DarkCanvas");
const QString kMachinesKey = QStringLiteral("View/Machines");
// The canvas keeps at least this share of the height at any size and scale.
constexpr double kCanvasShare = 0.4;

QSettings settings()
{
    return QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane"));
}

} // namespace

CMainFrame::CMainFrame(CQuorvaneDoc& document, QWidget* lowerPane, QWidget* parent)
    : QMainWindow(parent), m_document(document), m_lowerPane(lowerPane)
{
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    auto* upper = new QWidget(m_splitter);
    m_view = new CQuorvaneView(document, upper);
    m_findBar = new FindBar(*m_view, upper);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    upperLayout->addWidget(m_findBar);
    upperLayout->addWidget(m_view, 1);
    m_splitter->addWidget(upper);
    // In a scrolling frame, so that however large the panel's controls are
    // (a 2x scale, a large font) the handle can still give the canvas room.
    m_panelArea = new QScrollArea(m_splitter);
    m_panelArea->setObjectName(QStringLiteral("panelArea"));
    m_panelArea->setWidgetResizable(true);
    m_panelArea->setFrameShape(QFrame::NoFrame);
    m_panelArea->setWidget(lowerPane);
    m_splitter->addWidget(m_panelArea);
    m_splitter->setChildrenCollapsible(false);
    // A larger window gives its room to the canvas; the panel keeps the
    // height the operator dragged it to.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    setCentralWidget(m_splitter);
    new SplitterShare(*m_splitter, kCanvasShare);

    m_machines = new MachinesDock(document, *m_view, this);
    addDockWidget(Qt::RightDockWidgetArea, m_machines);
    m_machines->hide();
    m_ledger = new LedgerDock(document, *m_view, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_ledger);
    m_ledger->hide();
    m_bans = new BansDock(document, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_bans);
    m_bans->hide();
    m_scheduleRunner = new ScheduleRunner(document, this);
    m_schedules = new ScheduleDock(document, *m_scheduleRunner, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_schedules);
    m_schedules->hide();

    CreateMenus();

    m_downButton = new QToolButton(this);
    m_downButton->setObjectName(QStringLiteral("downButton"));
    m_downButton->setCheckable(true);
    m_downButton->setAutoRaise(true);
    m_downButton->setStyleSheet(QStringLiteral("QToolButton { color: #c00000; font-weight: bold; }"));
    m_downButton->setToolTip(tr("Show only the machines that are down, relay lost or unreachable"));
    m_downButton->hide();
    connect(m_downButton, &QToolButton::toggled, m_view, &CQuorvaneView::setShowOnlyDown);
    statusBar()->addPermanentWidget(m_downButton);

    m_capsPane = new QLabel(QStringLiteral("CAP"), this);
    m_numPane = new QLabel(QStringLiteral("NUM"), this);
    m_scrollPane = new QLabel(QStringLiteral("SCRL"), this);
    for (QLabel* pane : {m_capsPane, m_numPane, m_scrollPane}) {
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
    }
    m_zoomPane = new QLabel(QStringLiteral("100 %"), this);
    m_zoomPane->setObjectName(QStringLiteral("zoomPane"));
    m_zoomPane->setToolTip(tr("Zoom (Ctrl+wheel, Ctrl+=, Ctrl+-; Ctrl+0: actual size)"));
    statusBar()->insertPermanentWidget(0, m_zoomPane);
    connect(m_view, &CQuorvaneView::zoomChanged, this, [this](double zoom) {
        m_zoomPane->setText(QStringLiteral("%1 %").arg(std::lround(zoom * 100)));
    });
    statusBar()->showMessage(tr("Ready"));
    qApp->installEventFilter(this);

    m_desktopNotifier = std::make_unique<DesktopNotifier>();
    m_notifier = m_desktopNotifier.get();
    connect(&m_document, &CQuorvaneDoc::troubleChanged, this, &CMainFrame::OnTroubleCount);
    connect(&m_document, &CQuorvaneDoc::machineNotice, this,
            [this](const QString& summary, const QString& text, bool notify) {
                statusBar()->showMessage(text);
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
                if (notify && m_notifier)
                    m_notifier->notify(summary, text);
            });
    connect(&m_document, &CQuorvaneDoc::downBurst, this, [this](const DownWatch::Burst& burst) {
        const DownAlert alert = describeBurst(burst, m_document);
        // The status bar says what the title and the button say.
        const std::string now = burst.now.words();
        statusBar()->showMessage(now.empty() ? alert.summary
                                             : alert.summary + QStringLiteral(" \u2014 ") +
                                                   QString::fromStdString(now));
        if (m_notifier)
            m_notifier->notify(alert.summary, alert.body);
    });
    // AutoWeb trouble never interrupts: the status bar and the console at
    // each failure, one notification when an outage begins.
    connect(&m_document, &CQuorvaneDoc::autoWebNotice, this, [this](const QString& text, bool outageBegins) {
        statusBar()->showMessage(text);
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        if (outageBegins && m_notifier)
            m_notifier->notify(tr("AutoWeb cannot publish the page"), text);
    });
    // Demo collection: a line in the status bar and on the console; one
    // notification for a demo that could not be collected.
    connect(&m_document, &CQuorvaneDoc::demoNotice, this, [this](const QString& text, bool notify) {
        statusBar()->showMessage(text);
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        if (notify && m_notifier)
            m_notifier->notify(tr("A demo was not collected"), text);
    });
    // An rcon attack: the status bar, the console and one notification; the
    // Bans window offers to ban the address on the park.
    connect(&m_document, &CQuorvaneDoc::rconAttack, this, [this](const RconAttacks::Alert& alert) {
        const QString text = tr("%1 refused rcon commands in a minute on %2 from %3")
                                 .arg(alert.count)
                                 .arg(decodeText(alert.server), QString::fromStdString(alert.source));
        statusBar()->showMessage(text);
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        if (m_notifier)
            m_notifier->notify(tr("Rcon attack"), text);
    });
    connect(&m_document, &CQuorvaneDoc::modifiedChanged, this, &QWidget::setWindowModified);

    for (const QKeySequence& key : {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &CMainFrame::SwitchPane);
    }

    {
        QSettings store = settings();
        windowplacement::restore(*this, store, kGeometryKey, QSize(1000, 760));
        restoreState(store.value(kDocksKey).toByteArray());
    }
    // The panel starts 300 pixels high, as a first resize of the classic
    // window leaves it; then it keeps what the operator makes of it.
    m_splitter->setSizes({std::max(0, height() - kLowerPaneHeight), kLowerPaneHeight});
    RestoreSplitter();
    connect(m_splitter, &QSplitter::splitterMoved, this, &CMainFrame::SaveSplitter);
    SetPath(QString());
    m_view->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::setNotifier(Notifier* notifier)
{
    m_notifier = notifier;
}

void CMainFrame::OnTroubleCount(const TroubleCount& count)
{
    m_downButton->setText(QString::fromStdString(count.words()));
    m_downButton->setVisible(count.total() > 0);
    if (count.total() == 0)
        m_downButton->setChecked(false);
    UpdateTitle();
}

void CMainFrame::SwitchPane()
{
    // With two panes, next and previous are the same move.
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_lowerPane->isAncestorOf(focus)) {
        m_view->setFocus(Qt::TabFocusReason);
        return;
    }
    // The panel's own choice (its command line) while it takes input; else
    // back where the operator was in the panel, else its first control that
    // takes the focus.
    QWidget* target = m_lowerPane->focusProxy();
    if (target && !(target->isEnabled() && target->isVisible()))
        target = nullptr;
    if (!target)
        target = m_lowerPane->focusWidget();
    for (QWidget* child = m_lowerPane->nextInFocusChain(); !target && child && child != m_lowerPane;
         child = child->nextInFocusChain()) {
        if (m_lowerPane->isAncestorOf(child) && child->isEnabled() && child->isVisible() &&
            (child->focusPolicy() & Qt::TabFocus))
            target = child;
    }
    if (target)
        target->setFocus(Qt::TabFocusReason);
}

void CMainFrame::AddWindowItems(QMenu* viewMenu)
{
    viewMenu->addSeparator();
    QAction* panel = viewMenu->addAction(tr("Control &Panel"));
    panel->setObjectName(QStringLiteral("controlPanelAction"));
    panel->setCheckable(true);
    panel->setChecked(true);
    panel->setShortcut(QKeySequence(Qt::Key_F9));
    connect(panel, &QAction::toggled, this, [this](bool shown) {
        m_panelArea->setVisible(shown);
        if (!shown && m_lowerPane->isAncestorOf(QApplication::focusWidget()))
            m_view->setFocus(Qt::OtherFocusReason);
    });
    QAction* machines = m_machines->toggleViewAction();
    machines->setObjectName(QStringLiteral("machinesAction"));
    machines->setText(tr("&Machines"));
    machines->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    viewMenu->addAction(machines);
    if (settings().value(kMachinesKey, false).toBool())
        m_machines->show();
    connect(machines, &QAction::toggled, this, [](bool shown) { settings().setValue(kMachinesKey, shown); });
    QAction* ledger = m_ledger->toggleViewAction();
    ledger->setObjectName(QStringLiteral("ledgerAction"));
    ledger->setText(tr("&Ledger"));
    ledger->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    viewMenu->addAction(ledger);
    QAction* bans = m_bans->toggleViewAction();
    bans->setObjectName(QStringLiteral("bansAction"));
    bans->setText(tr("&Bans"));
    viewMenu->addAction(bans);
    QAction* schedules = m_schedules->toggleViewAction();
    schedules->setObjectName(QStringLiteral("schedulesAction"));
    schedules->setText(tr("Sc&hedules"));
    viewMenu->addAction(schedules);
    QAction* columns = viewMenu->addAction(tr("Arrange Groups in &Columns"));
    columns->setObjectName(QStringLiteral("groupColumnsAction"));
    columns->setCheckable(true);
    columns->setChecked(savedLayoutOptions().groupsSideBySide);
    if (columns->isChecked())
        m_view->setGroupsSideBySide(true);
    connect(columns, &QAction::toggled, m_view, &CQuorvaneView::setGroupsSideBySide);
    QAction* dark = viewMenu->addAction(tr("&Dark Canvas"));
    dark->setObjectName(QStringLiteral("darkCanvasAction"));
    dark->setCheckable(true);
    dark->setChecked(settings().value(kDarkCanvasKey, false).toBool());
    m_view->setDarkCanvasForced(dark->isChecked());
    connect(dark, &QAction::toggled, this, [this](bool on) {
        m_view->setDarkCanvasForced(on);
        settings().setValue(kDarkCanvasKey, on);
    });
}

void CMainFrame::SaveSplitter() const
{
    settings().setValue(kSplitterKey, m_splitter->saveState());
}

void CMainFrame::RestoreSplitter()
{
    const QByteArray state = settings().value(kSplitterKey).toByteArray();
    if (!state.isEmpty())
        m_splitter->restoreState(state);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    action->setData(id);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

QAction* CMainFrame::action(int id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    AddCommand(file, ID_FILE_NEW, tr("&New"), QKeySequence::New);
    AddCommand(file, ID_FILE_OPEN, tr("&Open..."), QKeySequence::Open);
    AddCommand(file, ID_FILE_SAVE, tr("&Save"), QKeySequence::Save);
    AddCommand(file, ID_FILE_SAVE_AS, tr("Save &As..."));
    file->addSeparator();
    AddCommand(file, ID_FILE_PRINT, tr("&Print..."), QKeySequence::Print);
    AddCommand(file, ID_FILE_PRINT_PREVIEW, tr("Print Pre&view"));
    AddCommand(file, ID_FILE_PRINT_SETUP, tr("P&rint Setup..."));
    file->addSeparator();
    m_recentMenu = file->addMenu(tr("Recent &File"));
    file->addSeparator();
    AddCommand(file, ID_APP_EXIT, tr("E&xit"), QKeySequence::Quit);
    UpdateRecentMenu();

    // Undo and Redo run the document's stack; nothing in a layout is edited
    // with the clipboard: shown, greyed.
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // The stack's own actions keep their text and state; triggered, they go
    // through the document, which refuses a step onto a taken address.
    QAction* undo = m_document.undoStack().createUndoAction(this, tr("&Undo"));
    disconnect(undo, &QAction::triggered, &m_document.undoStack(), &QUndoStack::undo);
    connect(undo, &QAction::triggered, this, [this] { m_document.Undo(); });
    undo->setShortcuts({QKeySequence::Undo, QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    edit->addAction(undo);
    m_actions[ID_EDIT_UNDO] = undo;
    QAction* redo = m_document.undoStack().createRedoAction(this, tr("&Redo"));
    disconnect(redo, &QAction::triggered, &m_document.undoStack(), &QUndoStack::redo);
    connect(redo, &QAction::triggered, this, [this] { m_document.Redo(); });
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addAction(redo);
    m_actions[ID_EDIT_REDO] = redo;
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_CUT, tr("Cu&t"), QKeySequence::Cut)->setEnabled(false);
    AddCommand(edit, ID_EDIT_COPY, tr("&Copy"), QKeySequence::Copy)->setEnabled(false);
    AddCommand(edit, ID_EDIT_PASTE, tr("&Paste"), QKeySequence::Paste)->setEnabled(false);
    edit->addSeparator();
    QAction* remove = edit->addAction(tr("&Delete..."));
    remove->setObjectName(QStringLiteral("deleteAction"));
    connect(remove, &QAction::triggered, this, [this] { m_document.DeletePicked(); });
    QAction* find = edit->addAction(tr("&Find..."));
    find->setObjectName(QStringLiteral("findAction"));
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] { m_findBar->open(); });

    QToolBar* tools = addToolBar(tr("Toolbar"));
    tools->setObjectName(QStringLiteral("toolbar"));
    QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
    QAction* showTools = tools->toggleViewAction();
    showTools->setText(tr("&Toolbar"));
    viewMenu->addAction(showTools);
    m_actions[ID_VIEW_TOOLBAR] = showTools;
    QAction* showStatus = viewMenu->addAction(tr("&Status Bar"));
    showStatus->setCheckable(true);
    showStatus->setChecked(true);
    connect(showStatus, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    m_actions[ID_VIEW_STATUS_BAR] = showStatus;
    viewMenu->addSeparator();
    QAction* zoomIn = viewMenu->addAction(tr("Zoom &In"));
    zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence::ZoomIn});
    connect(zoomIn, &QAction::triggered, m_view, &CQuorvaneView::ZoomIn);
    QAction* zoomOut = viewMenu->addAction(tr("Zoom &Out"));
    zoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(zoomOut, &QAction::triggered, m_view, &CQuorvaneView::ZoomOut);
    QAction* actualSize = viewMenu->addAction(tr("&Actual Size"));
    actualSize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(actualSize, &QAction::triggered, m_view, &CQuorvaneView::ResetZoom);
    AddWindowItems(viewMenu);

    QMenu* layout = menuBar()->addMenu(tr("&Layout"));
    AddCommand(layout, ID_LAYOUT_ADDZONE, tr("Add &Zone..."))->setStatusTip(tr("Add a new Zone"));
    AddCommand(layout, ID_LAYOUT_ADDGROUP, tr("Add &Group..."))->setStatusTip(tr("Add a new Group"));
    layout->addSeparator();
    AddCommand(layout, ID_LAYOUT_LOCK, tr("&Lock Layout"))->setEnabled(false);

    QMenu* objects = menuBar()->addMenu(tr("&Objects"));
    AddCommand(objects, ID_OBJECTS_ADDSERVER, tr("Add Server..."))->setStatusTip(tr("Add a new server"));
    AddCommand(objects, ID_OBJECTS_ADDSERVERRANGE, tr("Add Server Range..."));
    AddCommand(objects, ID_OBJECTS_ADDHLTV, tr("Add HLTV..."))->setStatusTip(tr("Add a new HLTV"));
    AddCommand(objects, ID_OBJECTS_ADDHLTVRANGE, tr("Add HLTV Range..."));
    AddCommand(objects, ID_OBJECTS_ADDHUBMANAGER, tr("Add Hub Manager..."))
        ->setStatusTip(tr("Add a new GTV hub manager"));
    AddParkItems(objects, nullptr);

    QMenu* modules = menuBar()->addMenu(tr("&Modules"));
    AddCommand(modules, ID_MODULES_AUTOWEB, tr("AutoWeb..."));
    AddCommand(modules, ID_MODULES_ADMINBOT, tr("AdminBot..."));
    modules->addSeparator();
    QAction* feeds = modules->addAction(tr("Live &Feeds..."));
    feeds->setObjectName(QStringLiteral("feedSettingsAction"));
    feeds->setStatusTip(tr("The log port and the Prometheus metrics address"));
    connect(feeds, &QAction::triggered, this, &CMainFrame::feedSettingsRequested);
    QAction* ledger = modules->addAction(tr("&Ledger..."));
    ledger->setObjectName(QStringLiteral("ledgerSettingsAction"));
    ledger->setStatusTip(tr("Where the ledger is kept and for how long"));
    connect(ledger, &QAction::triggered, this, &CMainFrame::ledgerSettingsRequested);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* legend = help->addAction(tr("&Legend..."));
    connect(legend, &QAction::triggered, this, [this] { LegendDialog(this).exec(); });
    AddCommand(help, ID_APP_ABOUT, tr("&About Quorvane..."));

    QStyle* look = style();
    const std::pair<int, QStyle::StandardPixmap> icons[] = {{ID_FILE_NEW, QStyle::SP_FileIcon},
                                                            {ID_FILE_OPEN, QStyle::SP_DialogOpenButton},
                                                            {ID_FILE_SAVE, QStyle::SP_DialogSaveButton},
                                                            {ID_APP_ABOUT, QStyle::SP_MessageBoxInformation}};
    for (const auto& [id, pixmap] : icons)
        m_actions[id]->setIcon(look->standardIcon(pixmap));
    const int toolButtons[] = {ID_FILE_NEW,
                               ID_FILE_OPEN,
                               ID_FILE_SAVE,
                               0,
                               ID_EDIT_CUT,
                               ID_EDIT_COPY,
                               ID_EDIT_PASTE,
                               0,
                               ID_FILE_PRINT,
                               0,
                               ID_LAYOUT_ADDZONE,
                               ID_LAYOUT_ADDGROUP,
                               0,
                               ID_OBJECTS_ADDSERVER,
                               ID_OBJECTS_ADDHLTV,
                               ID_OBJECTS_ADDHUBMANAGER,
                               0,
                               ID_APP_ABOUT};
    for (int id : toolButtons) {
        if (id == 0)
            tools->addSeparator();
        else
            tools->addAction(m_actions[id]);
    }
    AddParkItems(nullptr, tools);
}

void CMainFrame::OnCommand(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        break;
    case ID_FILE_OPEN:
        OnFileOpen();
        break;
    case ID_FILE_SAVE:
        OnFileSave();
        break;
    case ID_FILE_SAVE_AS:
        OnFileSaveAs();
        break;
    case ID_FILE_PRINT:
        OnPrint(false);
        break;
    case ID_FILE_PRINT_PREVIEW:
        OnPrint(true);
        break;
    case ID_FILE_PRINT_SETUP: {
        QPrinter printer;
        QPrintDialog(&printer, this).exec();
        break;
    }
    case ID_APP_ABOUT:
        OnAbout();
        break;
    case ID_APP_EXIT:
        close();
        break;
    default:
        m_document.RunCommand(id);
        break;
    }
}

bool CMainFrame::SaveModified()
{
    if (!m_document.IsModified())
        return true;
    const QString name = m_path.isEmpty() ? tr("Untitled") : QFileInfo(m_path).fileName();
    const auto answer = plainbox::ask(this, tr("Save changes to %1?").arg(name),
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    return answer == QMessageBox::No || OnFileSave();
}

void CMainFrame::OnFileNew()
{
    if (!SaveModified())
        return;
    m_document.OnNewDocument();
    SetPath(QString());
}

void CMainFrame::OnFileOpen()
{
    if (!SaveModified())
        return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open"));
    if (!path.isEmpty())
        OpenLayout(path);
}

bool CMainFrame::OpenLayout(const QString& path)
{
    QString error;
    if (!layoutfile::openFile(m_document, path, error)) {
        if (!error.isEmpty()) {
            m_document.context().op->showMessage("Failed to open document.");
            return false;
        }
        SetPath(QString()); // malformed: a new layout stands in its place
        return false;
    }
    SetPath(path);
    AddRecentFile(path);
    return true;
}

bool CMainFrame::OnFileSave()
{
    return m_path.isEmpty() ? OnFileSaveAs() : SaveLayout(m_path);
}

bool CMainFrame::OnFileSaveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save As"), m_path);
    return !path.isEmpty() && SaveLayout(path);
}

bool CMainFrame::SaveLayout(const QString& path)
{
    QString error;
    if (!layoutfile::saveToFile(m_document, path, error)) {
        m_document.context().op->showMessage("Failed to save document. " + error.toStdString());
        return false;
    }
    SetPath(path);
    AddRecentFile(path);
    return true;
}

void CMainFrame::OnPrint(bool preview)
{
    QPrinter printer;
    const auto render = [this](QPrinter* target) {
        QPainter painter(target);
        const QSize size = m_view->layoutSize();
        const QRect page = painter.viewport();
        const double scale =
            std::min(1.0, std::min(static_cast<double>(page.width()) / std::max(1, size.width()),
                                   static_cast<double>(page.height()) / std::max(1, size.height())));
        painter.scale(scale, scale);
        m_view->RenderCanvas(painter, QRect(QPoint(0, 0), size));
    };
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, render);
        dialog.exec();
    } else if (QPrintDialog(&printer, this).exec() == QDialog::Accepted) {
        render(&printer);
    }
}

void CMainFrame::OnAbout()
{
    CAboutDlg(this).exec();
}

void CMainFrame::SetPath(const QString& path)
{
    m_path = path;
    UpdateTitle();
    setWindowModified(m_document.IsModified());
}

void CMainFrame::UpdateTitle()
{
    const QString name = m_path.isEmpty() ? tr("Untitled") : QFileInfo(m_path).fileName();
    QString title = name + QStringLiteral("[*] - Quorvane");
    if (const std::string trouble = m_document.TroubleNow().words(); !trouble.empty())
        title += QStringLiteral(" \u2014 ") + QString::fromStdString(trouble);
    setWindowTitle(title);
}

QStringList CMainFrame::RecentFiles() const
{
    QSettings store = settings();
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString file = store.value(kRecentGroup + QStringLiteral("/File%1").arg(i)).toString();
        if (!file.isEmpty())
            files.append(file);
    }
    return files;
}

void CMainFrame::AddRecentFile(const QString& path)
{
    QStringList files = RecentFiles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    QSettings store = settings();
    for (int i = 1; i <= kRecentFiles; ++i)
        store.setValue(kRecentGroup + QStringLiteral("/File%1").arg(i),
                       i <= files.size() ? files[i - 1] : QString());
    UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = RecentFiles();
    m_recentMenu->setEnabled(!files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* entry = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
        entry->setData(ID_FILE_MRU_FILE1 + i);
        connect(entry, &QAction::triggered, this, [this, path] {
            if (SaveModified())
                OpenLayout(path);
        });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (SaveModified()) {
        SaveSplitter();
        QSettings store = settings();
        windowplacement::save(*this, store, kGeometryKey);
        store.setValue(kDocksKey, saveState());
        event->accept();
    } else {
        event->ignore();
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The lock keys' states are not readable here: the panes follow the
    // presses seen while the program runs.
    if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock)
            m_capsPane->setEnabled(!m_capsPane->isEnabled());
        else if (key == Qt::Key_NumLock)
            m_numPane->setEnabled(!m_numPane->isEnabled());
        else if (key == Qt::Key_ScrollLock)
            m_scrollPane->setEnabled(!m_scrollPane->isEnabled());
    }
    return QMainWindow::eventFilter(watched, event);
}

#include "ui/CControlView.h"

#include "core/Clock.h"
#include "core/Operator.h"
#include "core/TextCodec.h"
#include "feeds/EventReport.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "layout/CommandTranscript.h"
#include "layout/LedgerFeed.h"
#include "objects/CCommonObject.h"
#include "objects/CHLTV.h"
#include "objects/DemoNames.h"
#include "objects/ObjectReport.h"
#include "park/BanCommands.h"
#include "ui/CBanDlg.h"
#include "ui/ConsoleFindBar.h"
#include "ui/ObjectToolTip.h"
#include "ui/ParkText.h"
#include "ui/PlayerTable.h"
#include "ui/Sparkline.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>

namespace {

// The wire bytes a row shows, kept with it: a row is rewritten only when
// they change.
constexpr int kBytesRole = Qt::UserRole;

// Commands kept for Up and Down.
constexpr std::size_t kHistoryLimit = 200;

QListWidget* makeList(QWidget* parent, const QString& objectName, const QString& column)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setAccessibleName(column);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformItemSizes(true);
    return list;
}

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeReadOnlyEdit(QWidget* parent, const QString& objectName)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    return edit;
}

QByteArray toBytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Adds empty rows at the end or deletes rows from the top until the list
// has count rows.
void resizeRows(QListWidget& list, int count)
{
    while (list.count() > count)
        delete list.takeItem(0);
    while (list.count() < count)
        list.addItem(new QListWidgetItem);
}

// Sets the row to the line unless it already shows it.
void setRow(QListWidgetItem& item, const std::string& line)
{
    const QByteArray bytes = toBytes(line);
    if (item.data(kBytesRole).isValid() && item.data(kBytesRole).toByteArray() == bytes)
        return;
    item.setData(kBytesRole, bytes);
    item.setText(decodeText(line));
}

// True when the list shows its last row: new rows then keep it at the end;
// otherwise the operator has scrolled back and the view stays put.
bool followsEnd(const QListWidget& list)
{
    const QScrollBar* bar = list.verticalScrollBar();
    return bar->value() >= bar->maximum();
}

// Sets the text only when it changes, so that a refresh keeps what the
// operator has selected in a read-only field.
template <class Field> void showText(Field& field, const QString& text)
{
    if (field.text() == text)
        return;
    field.setText(text);
    // A read-only line shows its beginning, where the state is; the whole
    // text (remote words among it) is in its tool tip.
    if constexpr (std::is_same_v<Field, QLineEdit>) {
        field.setCursorPosition(0);
        field.setToolTip(text.isEmpty() ? QString() : plainToolTip(text));
    }
}

// The status words, and "???" for a value no state has.
QString statusCaption(CSStatus status)
{
    if (status < CSStatus_BAD || status > CSStatus_FULLCONTROL)
        return QStringLiteral("???");
    return QString::fromLatin1(statusText(status));
}

std::vector<PlayerRow> playerRows(const CCommonObject& object)
{
    const int count = std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers);
    const CCommonObject::PlayerNames& names = object.GetPlayerNames();
    const auto* server = dynamic_cast<const CHLServer*>(&object);
    std::vector<PlayerRow> rows;
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        PlayerRow row;
        row.name = names[at];
        if (server) {
            row.frags = server->m_nPlayerFrags[at];
            row.seconds = server->m_nPlayerSeconds[at];
        }
        rows.push_back(std::move(row));
    }
    // With rcon, the status table names each player's user id, SteamID,
    // ping and address; each of its lines serves one row of the same name.
    if (server) {
        std::vector<bool> used(server->m_statusPlayers.size(), false);
        for (PlayerRow& row : rows) {
            for (std::size_t i = 0; i < used.size(); ++i) {
                const StatusPlayer& status = server->m_statusPlayers[i];
                if (used[i] || status.name != row.name)
                    continue;
                used[i] = true;
                row.userId = status.userId;
                row.steamId = status.uniqueId;
                row.ping = status.ping;
                row.address = status.address;
                break;
            }
        }
    }
    return rows;
}

} // namespace

QColor liveTeamColor(const std::string& team)
{
    const QString name = QString::fromLatin1(team.data(), static_cast<qsizetype>(team.size())).toLower();
    if (name == QLatin1String("ct") || name == QLatin1String("blue"))
        return QColor(25, 80, 200);
    if (name == QLatin1String("terrorist") || name == QLatin1String("t") || name == QLatin1String("red"))
        return QColor(190, 30, 30);
    if (name == QLatin1String("spectator"))
        return QColor(110, 110, 110);
    return QColor();
}

CControlView::CControlView(CQuorvaneDoc& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("controlView"));

    m_pName = makeReadOnlyEdit(this, QStringLiteral("nameEdit"));
    m_pStatus = makeReadOnlyEdit(this, QStringLiteral("statusEdit"));
    m_pStartRecord = makeButton(this, QStringLiteral("startRecordButton"), QStringLiteral("StartRecord"));
    m_pStopRecording =
        makeButton(this, QStringLiteral("stopRecordingButton"), QStringLiteral("StopRecording"));
    m_pFtp = new QLabel(QStringLiteral("FTP engine OFF"), this);
    m_pFtp->setObjectName(QStringLiteral("ftpLabel"));
    m_pFtp->setTextFormat(Qt::PlainText);
    m_pRcon = new QGroupBox(QStringLiteral("Rcon"), this);
    m_pRcon->setObjectName(QStringLiteral("rconBox"));
    m_pPages = new QTabWidget(m_pRcon);
    m_pPages->setObjectName(QStringLiteral("consolePages"));
    m_pTranscript = makeList(m_pPages, QStringLiteral("commandList"), QStringLiteral("Commands"));
    m_pConsole = makeList(m_pPages, QStringLiteral("consoleList"), QStringLiteral("Chat"));
    m_pPages->addTab(m_pTranscript, tr("&Commands"));
    m_pPages->addTab(m_pConsole, tr("&All replies"));
    auto* livePage = new QWidget(m_pPages);
    m_pLive = makeList(livePage, QStringLiteral("liveList"), QStringLiteral("Live"));
    m_pStreamLogs = makeButton(livePage, QStringLiteral("streamLogsButton"), tr("Stream Logs Here"));
    m_pStopStreaming = makeButton(livePage, QStringLiteral("stopStreamingButton"), tr("Stop Streaming"));
    m_pChat = new QLineEdit(livePage);
    m_pChat->setObjectName(QStringLiteral("chatEdit"));
    m_pChat->setPlaceholderText(tr("Say to the picked servers"));
    m_pSay = makeButton(livePage, QStringLiteral("sayButton"), tr("Say"));
    auto* liveButtons = new QHBoxLayout;
    liveButtons->addWidget(m_pChat, 1);
    liveButtons->addWidget(m_pSay);
    liveButtons->addWidget(m_pStreamLogs);
    liveButtons->addWidget(m_pStopStreaming);
    auto* liveLayout = new QVBoxLayout(livePage);
    liveLayout->setContentsMargins(0, 0, 0, 0);
    liveLayout->addWidget(m_pLive, 1);
    liveLayout->addLayout(liveButtons);
    m_pPages->addTab(livePage, tr("&Live"));
    m_pVariablesPage = new QWidget(m_pPages);
    m_pVariablesPage->setObjectName(QStringLiteral("variablesPage"));
    m_pVariablesFilter = new QLineEdit(m_pVariablesPage);
    m_pVariablesFilter->setObjectName(QStringLiteral("variablesFilter"));
    m_pVariablesFilter->setPlaceholderText(tr("Filter"));
    m_pVariablesFilter->setClearButtonEnabled(true);
    m_pVariablesState = new QLabel(m_pVariablesPage);
    m_pVariablesState->setTextFormat(Qt::PlainText);
    m_pVariables = new QTableWidget(0, 2, m_pVariablesPage);
    m_pVariables->setObjectName(QStringLiteral("variablesTable"));
    m_pVariables->setHorizontalHeaderLabels({tr("Name"), tr("Value")});
    m_pVariables->horizontalHeader()->setStretchLastSection(true);
    m_pVariables->verticalHeader()->hide();
    m_pVariables->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pVariables->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pVariables->setWordWrap(false);
    auto* variablesTop = new QHBoxLayout;
    variablesTop->addWidget(m_pVariablesFilter, 1);
    variablesTop->addWidget(m_pVariablesState);
    auto* variablesLayout = new QVBoxLayout(m_pVariablesPage);
    variablesLayout->setContentsMargins(0, 0, 0, 0);
    variablesLayout->addLayout(variablesTop);
    variablesLayout->addWidget(m_pVariables, 1);
    m_pPages->addTab(m_pVariablesPage, tr("&Variables"));
    m_pHistory = new SparklineWidget(this);
    m_pHistory->setObjectName(QStringLiteral("historySparkline"));
    m_pHistory->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_pSend = makeButton(m_pRcon, QStringLiteral("sendButton"), QStringLiteral("Send"));
    m_pCommand = new QLineEdit(m_pRcon);
    m_pCommand->setObjectName(QStringLiteral("commandEdit"));
    m_pPlayers = new PlayerTable(this);
    m_pPlayers->setObjectName(QStringLiteral("playerList"));
    m_pPlayers->setAccessibleName(QStringLiteral("Players"));
    m_pKick = makeButton(this, QStringLiteral("kickButton"), QStringLiteral("Kick"));

    // Built from layouts, so that nothing overlaps or is cut at any size or
    // font; the console and the players share the width.
    auto* top = new QHBoxLayout;
    top->addWidget(m_pName, 2);
    top->addWidget(m_pStatus, 1);
    top->addWidget(m_pStartRecord);
    top->addWidget(m_pStopRecording);
    top->addStretch(1);
    m_pPicked = new QLabel(this);
    m_pPicked->setObjectName(QStringLiteral("pickedLabel"));
    m_pPicked->setTextFormat(Qt::PlainText);
    top->addWidget(m_pPicked);
    top->addWidget(m_pFtp);

    // Replies such as "status" are tables: a fixed-width font keeps their
    // columns.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QListWidget* page : {m_pTranscript, m_pConsole, m_pLive})
        page->setFont(fixed);
    m_pSaveLog = makeButton(m_pRcon, QStringLiteral("saveLogButton"), tr("Save Log..."));
    m_pClearLog = makeButton(m_pRcon, QStringLiteral("clearLogButton"), tr("Clear"));

    auto* commandLine = new QHBoxLayout;
    commandLine->addWidget(m_pSend);
    commandLine->addWidget(m_pCommand, 1);
    commandLine->addWidget(m_pSaveLog);
    commandLine->addWidget(m_pClearLog);
    auto* rcon = new QVBoxLayout(m_pRcon);
    rcon->addWidget(m_pPages, 1);
    rcon->addLayout(commandLine);

    auto* historyRow = new QHBoxLayout;
    auto* historyLabel = new QLabel(SparklineWidget::spanCaption(m_pHistory->span()) + QLatin1Char(':'), this);
    historyLabel->setObjectName(QStringLiteral("historySpanLabel"));
    historyLabel->setTextFormat(Qt::PlainText);
    connect(m_pHistory, &SparklineWidget::spanChanged, this, [this, historyLabel](SparklineWidget::Span span) {
        historyLabel->setText(SparklineWidget::spanCaption(span) + QLatin1Char(':'));
        fillHistory(m_document.m_pSelectedObject);
    });
    historyRow->addWidget(historyLabel);
    historyRow->addWidget(m_pHistory, 1);
    auto* playerColumn = new QVBoxLayout;
    playerColumn->addLayout(historyRow);
    playerColumn->addWidget(m_pPlayers, 1);
    playerColumn->addWidget(m_pKick);

    auto* body = new QHBoxLayout;
    body->addWidget(m_pRcon, 3);
    body->addLayout(playerColumn, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    setTabOrder(m_pCommand, m_pSend);
    // F6 from the canvas lands where the operator types.
    setFocusProxy(m_pCommand);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    // After the filters: Enter in the find bar finds, it does not send.
    m_pFind = new ConsoleFindBar(m_pRcon);
    rcon->insertWidget(1, m_pFind);
    connect(m_pSaveLog, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save Log"), QString(),
                                                          tr("Text files (*.txt *.log);;All files (*)"));
        if (!path.isEmpty())
            SaveLog(path);
    });
    connect(m_pClearLog, &QPushButton::clicked, this, &CControlView::ClearLog);

    connect(m_pSend, &QPushButton::clicked, this, &CControlView::OnSend);
    connect(m_pKick, &QPushButton::clicked, this, &CControlView::OnKick);
    connect(m_pStartRecord, &QPushButton::clicked, this, &CControlView::OnStartRecord);
    connect(m_pStopRecording, &QPushButton::clicked, this, &CControlView::OnStopRecording);
    connect(m_pStreamLogs, &QPushButton::clicked, this, [this] { OnStreamLogs(true); });
    connect(m_pStopStreaming, &QPushButton::clicked, this, [this] { OnStreamLogs(false); });
    connect(m_pSay, &QPushButton::clicked, this, &CControlView::OnSay);
    connect(m_pPages, &QTabWidget::currentChanged, this, &CControlView::fillVariables);
    connect(m_pVariablesFilter, &QLineEdit::textChanged, this, &CControlView::fillVariables);
    connect(m_pVariables, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { EditVariable(row); });
    // The Live page reads the newest events of the picked server.
    m_document.m_feeds.keepEvents(true);
    connect(&m_document.m_feeds, &LiveFeeds::eventReceived, this, &CControlView::onLogEvent);
    connect(m_pPlayers, &QWidget::customContextMenuRequested, this, &CControlView::showPlayerMenu);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &CControlView::refresh);

    resize(876, 275);
    refresh();
}

void CControlView::refresh()
{
    m_document.trail().Collect(m_document.m_objects);
    CCommonObject* object = m_document.m_pSelectedObject;
    switchDraft(object ? object->GetName() : std::string());
    if (!object) {
        showText(*m_pStatus, QString());
        showText(*m_pName, QStringLiteral("---"));
        setActionControlsEnabled(false);
        m_pPlayers->setPlayers({});
        m_pConsole->clear();
        fillTranscript(nullptr);
        fillLive(nullptr);
        fillHistory(nullptr);
        m_pStreamLogs->setEnabled(false);
        m_pStopStreaming->setEnabled(false);
    } else {
        // Worked out first and applied once, so that no control flickers
        // between enabled and disabled at every refresh.
        bool actions = true;
        bool kick = true;
        // Only a proxy records: a hub manager's buttons would do nothing.
        auto* proxy = dynamic_cast<CHLTV*>(object);
        bool record = proxy != nullptr;
        QStringList status{statusCaption(object->m_nStatus)};
        status += troubleWords(*object, m_document.context().clock->now());
        showText(*m_pStatus, status.join(QStringLiteral(" \u2014 ")));
        switch (object->m_nStatus) {
        case CSStatus_BAD:
        case CSStatus_TIMEOUT:
        case CSStatus_MONITORING:
            actions = false;
            break;
        case CSStatus_CONTROL:
            if (object->IsGameServer())
                m_pKick->setText(QStringLiteral("Kick"));
            else if (object->IsHubManager())
                m_pKick->setText(QStringLiteral("Change POV"));
            else
                kick = false;
            record = record && object->CanRecord();
            break;
        default:
            break;
        }
        setActionControlsEnabled(actions);
        if (actions) {
            m_pKick->setEnabled(kick);
            // Nothing to record while the proxy relays nothing.
            const bool relaysNothing = proxy && proxy->RelaysNothing();
            m_pStartRecord->setEnabled(record && !relaysNothing);
            m_pStartRecord->setToolTip(
                relaysNothing ? tr("The proxy relays nothing: there is nothing to record") : QString());
            m_pStopRecording->setEnabled(record);
        }
        showText(*m_pName, decodeText(object->m_strHostname));
        fillPlayers(*object);
        fillConsole(*object);
        fillTranscript(object);
        fillLive(object);
        fillHistory(object);
        const bool stream = m_document.CanStreamLogs(*object);
        m_pStreamLogs->setEnabled(stream);
        m_pStopStreaming->setEnabled(stream);
    }
    showText(*m_pFtp, QStringLiteral("FTP Queue : %1 jobs left").arg(m_document.m_ftpJobs.GetJobCount()));
    const std::size_t picked = m_document.PickedMachines().size();
    showText(*m_pPicked, picked > 1 ? tr("%1 machines picked").arg(picked) : QString());
    m_pChat->setEnabled(picked > 0);
    m_pSay->setEnabled(picked > 0);
    fillVariables();
}

CHLServer* CControlView::variablesServer() const
{
    CCommonObject* object = m_document.m_pSelectedObject;
    if (!object || !object->IsGameServer() || object->CanRecord() ||
        m_pPages->currentWidget() != m_pVariablesPage)
        return nullptr;
    return dynamic_cast<CHLServer*>(object);
}

void CControlView::fillVariables()
{
    CHLServer* server = variablesServer();
    m_document.parkConsole().variables.Show(server, m_document.context().clock->now());
    if (!server) {
        m_pShownRulesOf = nullptr;
        m_shownRulesTime = -1;
        m_shownRules.clear();
        m_pVariables->setRowCount(0);
        m_pVariablesState->clear();
        return;
    }
    const QString filter = m_pVariablesFilter->text();
    if (server == m_pShownRulesOf && server->m_timeRules == m_shownRulesTime && filter == m_shownRulesFilter)
        return;
    m_pShownRulesOf = server;
    m_shownRulesTime = server->m_timeRules;
    m_shownRulesFilter = filter;
    m_shownRules = server->m_rules ? variables::filterRules(server->m_rules->entries, encodeTyped(filter))
                                   : std::vector<std::pair<std::string, std::string>>{};
    m_pVariables->setRowCount(static_cast<int>(m_shownRules.size()));
    for (std::size_t i = 0; i < m_shownRules.size(); ++i) {
        const int row = static_cast<int>(i);
        m_pVariables->setItem(row, 0, new QTableWidgetItem(plainCell(m_shownRules[i].first, 64)));
        m_pVariables->setItem(row, 1, new QTableWidgetItem(plainCell(m_shownRules[i].second)));
    }
    if (!server->m_rules)
        m_pVariablesState->setText(tr("Asking..."));
    else
        m_pVariablesState->setText(
            server->m_rules->complete
                ? tr("%1 variables").arg(server->m_rules->entries.size())
                : tr("%1 variables (the reply was cut short)").arg(server->m_rules->entries.size()));
}

void CControlView::EditVariable(int row)
{
    CHLServer* server = variablesServer();
    if (!server || row < 0 || row >= static_cast<int>(m_shownRules.size()))
        return;
    const auto [name, value] = m_shownRules[static_cast<std::size_t>(row)];
    const auto typed = m_document.context().op->promptLine("New value of " + name + ":", value);
    if (!typed || m_document.m_pSelectedObject != server)
        return;
    m_document.SetVariable(*server, name, *typed);
}

void CControlView::OnSay()
{
    const QString text = m_pChat->text().trimmed();
    if (text.isEmpty())
        return;
    if (m_document.SayToPicked(encodeTyped(text)))
        m_pChat->clear();
}

void CControlView::switchDraft(const std::string& name)
{
    if (name == m_commandOwner)
        return;
    if (!m_commandOwner.empty()) {
        if (m_pCommand->text().isEmpty())
            m_drafts.erase(m_commandOwner);
        else
            m_drafts[m_commandOwner] = m_pCommand->text();
    }
    m_commandOwner = name;
    const auto draft = m_drafts.find(name);
    m_pCommand->setText(draft == m_drafts.end() ? QString() : draft->second);
    m_historyPos = m_history.size();
}

void CControlView::fillPlayers(const CCommonObject& object)
{
    m_pPlayers->setPlayers(playerRows(object));
}

void CControlView::fillConsole(const CCommonObject& object)
{
    const bool follow = followsEnd(*m_pConsole);
    const int count = std::clamp(object.m_log.count(), 0, CConsoleLog::kCapacity);
    resizeRows(*m_pConsole, count);
    for (int i = 0; i < count; ++i)
        setRow(*m_pConsole->item(i), object.m_log.line(i));
    if (count > 0 && follow)
        m_pConsole->scrollToBottom();
}

void CControlView::fillTranscript(const CCommonObject* object)
{
    const std::string name = object ? object->GetName() : std::string();
    const CommandTranscript* found = object ? m_document.trail().Find(name) : nullptr;
    if (!found) {
        m_pTranscript->clear();
        m_shownTranscript = name;
        m_shownTranscriptLines = 0;
        return;
    }
    const CommandTranscript& transcript = *found;
    if (name != m_shownTranscript) {
        m_pTranscript->clear();
        m_shownTranscript = name;
        m_shownTranscriptLines = transcript.added() - transcript.lines().size();
    }
    const std::uint64_t fresh = transcript.added() - m_shownTranscriptLines;
    if (fresh == 0)
        return;
    const bool follow = followsEnd(*m_pTranscript);
    const auto& lines = transcript.lines();
    const std::size_t first =
        lines.size() - static_cast<std::size_t>(std::min<std::uint64_t>(fresh, lines.size()));
    for (std::size_t i = first; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(decodeText(lines[i]));
        m_pTranscript->addItem(item);
    }
    m_shownTranscriptLines = transcript.added();
    while (m_pTranscript->count() > static_cast<int>(CommandTranscript::kCapacity))
        delete m_pTranscript->takeItem(0);
    if (follow)
        m_pTranscript->scrollToBottom();
}

void CControlView::fillLive(const CCommonObject* object)
{
    const std::string name = object ? object->GetName() : std::string();
    if (name == m_shownLive)
        return;
    m_shownLive = name;
    m_pLive->clear();
    const ObjectFeed* feed = object ? m_document.m_feeds.feed(name) : nullptr;
    if (!feed)
        return;
    for (const LogEvent& event : feed->events.events())
        addLiveRow(event);
    m_pLive->scrollToBottom();
}

void CControlView::addLiveRow(const LogEvent& event)
{
    // Plain text: a list item never reads its text as markup.
    auto* item = new QListWidgetItem(eventText(event));
    const QColor color = liveTeamColor(event.type == LogEvent::Type::Team ? event.text : event.player.team);
    if (color.isValid())
        item->setForeground(color);
    m_pLive->addItem(item);
    // As many rows as the ring keeps events, oldest dropped first.
    while (m_pLive->count() > static_cast<int>(EventRing::kDefaultCapacity))
        delete m_pLive->takeItem(0);
}

void CControlView::onLogEvent(const std::string& objectName, const LogEvent& event)
{
    if (objectName != m_shownLive || !m_document.m_pSelectedObject)
        return;
    const bool follow = followsEnd(*m_pLive);
    addLiveRow(event);
    if (follow)
        m_pLive->scrollToBottom();
}

void CControlView::fillHistory(const CCommonObject* object)
{
    const ObjectFeed* feed = object ? m_document.m_feeds.feed(object->GetName()) : nullptr;
    const std::int64_t now = m_document.context().clock->now();
    if (!feed)
        m_pHistory->setSamples({});
    else
        m_pHistory->setSamples(m_pHistory->span() == SparklineWidget::Span::Week ? feed->history.lastWeek(now)
                                                                                 : feed->history.lastDay(now));
}

void CControlView::OnStreamLogs(bool start)
{
    m_document.OnCommand(start ? ID_OBJECT_STREAMLOGS : ID_OBJECT_STOPSTREAMING);
    if (CCommonObject* object = m_document.m_pSelectedObject)
        showTranscript(object);
}

void CControlView::setActionControlsEnabled(bool enabled)
{
    for (QWidget* control : {static_cast<QWidget*>(m_pConsole), static_cast<QWidget*>(m_pStartRecord),
                             static_cast<QWidget*>(m_pStopRecording), static_cast<QWidget*>(m_pCommand),
                             static_cast<QWidget*>(m_pSend), static_cast<QWidget*>(m_pStatus),
                             static_cast<QWidget*>(m_pPlayers), static_cast<QWidget*>(m_pKick)})
        control->setEnabled(enabled);
}

CCommonObject* CControlView::controlledObject() const
{
    CCommonObject* object = m_document.m_pSelectedObject;
    return object && object->m_nStatus >= CSStatus_CONTROL ? object : nullptr;
}

void CControlView::OnSend()
{
    const QString command = m_pCommand->text();
    if (CCommonObject* object = m_document.m_pSelectedObject; object && !command.isEmpty()) {
        const std::string bytes = encodeTyped(command);
        const OperatorTrail::Act act(m_document.trail());
        object->SendCommand(bytes);
        if (m_history.empty() || m_history.back() != command) {
            m_history.push_back(command);
            if (m_history.size() > kHistoryLimit)
                m_history.erase(m_history.begin());
        }
        showTranscript(object);
    }
    m_historyPos = m_history.size();
    m_pCommand->clear();
}

void CControlView::showTranscript(CCommonObject* object)
{
    m_pPages->setCurrentWidget(m_pTranscript);
    fillTranscript(object);
    m_pTranscript->scrollToBottom();
}

void CControlView::walkHistory(int step)
{
    if (step < 0) {
        if (m_historyPos == 0)
            return;
        --m_historyPos;
    } else {
        if (m_historyPos >= m_history.size())
            return;
        ++m_historyPos;
    }
    m_pCommand->setText(m_historyPos < m_history.size() ? m_history[m_historyPos] : QString());
}

void CControlView::OnKick()
{
    const std::vector<PlayerRow> selected = m_pPlayers->selectedPlayers();
    if (!selected.empty())
        kickPlayer(selected.front());
}

void CControlView::kickPlayer(const PlayerRow& player)
{
    CCommonObject* object = controlledObject();
    if (!object)
        return;
    if (object->IsGameServer()) {
        if (!m_document.context().op->askYesNo("Are you sure you want to kick " + player.name + " ?"))
            return;
        const OperatorTrail::Act act(m_document.trail());
        // The user id shown is the player chosen, whatever his name holds.
        if (auto* server = dynamic_cast<CHLServer*>(object); server && player.userId) {
            server->KickByUserId(*player.userId, player.name);
        } else {
            object->Kick(player.name);
        }
    } else if (object->IsHubManager()) {
        const OperatorTrail::Act act(m_document.trail());
        object->ChangePOV(player.name);
    }
    showTranscript(object);
}

void CControlView::banPlayer(const PlayerRow& player)
{
    CCommonObject* object = controlledObject();
    if (!object || !object->IsGameServer())
        return;
    CQuorvaneDoc::BanRequest request;
    request.steamId = player.steamId;
    request.ip = LedgerFeed::AddressWithoutPort(player.address);
    request.name = player.name;
    request.userId = player.userId;
    const bool byId = bancmd::isBannableId(player.steamId);
    const QString what =
        byId ? tr("Ban %1 by SteamID %2").arg(decodeText(player.name), decodeText(player.steamId))
             : tr("Ban %1 by address %2").arg(decodeText(player.name), decodeText(request.ip));
    const CGroup* group = object->m_pGroup.get();
    CBanDlg dialog(what, group != nullptr, group && group->m_pZone, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const CBanDlg::Choice choice = dialog.choice();
    request.minutes = choice.minutes;
    request.reason = choice.reason;
    request.scope = choice.scope;
    m_document.BanPlayer(*object, request);
    showTranscript(object);
}

void CControlView::showPlayerMenu(const QPoint& position)
{
    const int row = m_pPlayers->rowAt(position.y());
    if (row < 0)
        return;
    const PlayerRow player = m_pPlayers->playerAt(row);
    QMenu menu(this);
    CCommonObject* object = controlledObject();
    QAction* kick = menu.addAction(object && object->IsHubManager() ? tr("&Change POV") : tr("&Kick"));
    kick->setEnabled(object && m_pKick->isEnabled());
    QAction* ban = menu.addAction(tr("&Ban..."));
    ban->setEnabled(object && object->IsGameServer() && !object->IsHubManager() && m_pKick->isEnabled());
    QAction* copyName = menu.addAction(tr("Copy &Name"));
    QAction* copySteamId = menu.addAction(tr("Copy &SteamID"));
    copySteamId->setEnabled(!player.steamId.empty());
    const QAction* chosen = menu.exec(m_pPlayers->viewport()->mapToGlobal(position));
    if (chosen == kick)
        kickPlayer(player);
    else if (chosen == ban)
        banPlayer(player);
    else if (chosen == copyName)
        QApplication::clipboard()->setText(decodeText(player.name));
    else if (chosen == copySteamId)
        QApplication::clipboard()->setText(decodeText(player.steamId));
}

void CControlView::OnStartRecord()
{
    auto* proxy = dynamic_cast<CHLTV*>(controlledObject());
    if (!proxy)
        return;
    std::optional<std::string> name =
        m_document.context().op->promptLine("Enter file for recording", proxy->MakeAutoDemoName());
    if (!name)
        return;
    SanitizeDemoName(*name);
    const OperatorTrail::Act act(m_document.trail());
    proxy->SendCommand("record " + *name);
    showTranscript(proxy);
}

void CControlView::OnStopRecording()
{
    if (auto* proxy = dynamic_cast<CHLTV*>(controlledObject())) {
        // One click must not end a match's demo.
        const std::string file =
            proxy->m_strRecordFile.empty() ? std::string("the recording") : proxy->m_strRecordFile;
        if (!m_document.context().op->askYesNo("Stop recording " + file + " on " + proxy->GetName() + "?"))
            return;
        const OperatorTrail::Act act(m_document.trail());
        proxy->SendCommand("stoprecord");
        showTranscript(proxy);
    }
}

void CControlView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnSend();
        event->accept();
        return;
    }
    QApplication::beep();
    QWidget::keyPressEvent(event);
}

bool CControlView::SaveLog(const QString& path)
{
    auto* page = m_pPages->currentWidget() == m_pTranscript ? m_pTranscript
                 : m_pPages->currentWidget() == m_pConsole  ? m_pConsole
                                                            : m_pLive;
    QString error;
    if (saveListLines(*page, path, error))
        return true;
    m_document.context().op->showMessage("Cannot save the log. " + error.toStdString());
    return false;
}

void CControlView::ClearLog()
{
    CCommonObject* object = m_document.m_pSelectedObject;
    if (m_pPages->currentWidget() == m_pTranscript) {
        if (object)
            m_document.trail().Forget(object->GetName());
        fillTranscript(object);
    } else if (m_pPages->currentWidget() == m_pConsole) {
        if (object)
            object->m_log.Clear();
        m_pConsole->clear();
    } else {
        m_pLive->clear();
    }
}

bool CControlView::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+F on a console page searches the page, not the canvas.
    const bool onPage = watched == m_pTranscript || watched == m_pConsole || watched == m_pLive;
    if (onPage && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Find)) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            m_pFind->open(static_cast<QListWidget*>(watched));
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
        if (enter && watched == m_pCommand && (keyEvent->modifiers() & both) == both) {
            const QString command = m_pCommand->text();
            if (!command.isEmpty()) {
                m_pCommand->clear();
                emit sendToManyRequested(command);
            }
            return true;
        }
        if (enter && (watched == m_pChat || watched == m_pSay)) {
            OnSay();
            return true;
        }
        if (enter && (watched == m_pVariablesFilter || watched == m_pVariables))
            return true;
        if (enter) {
            OnSend();
            return true;
        }
        if (watched == m_pCommand && (key == Qt::Key_Up || key == Qt::Key_Down)) {
            walkHistory(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class ConsoleFindBar;
class PlayerTable;
class SparklineWidget;
struct LogEvent;
struct PlayerRow;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class CHLServer;

// The colour a live row takes for a team ("CT", "TERRORIST", ...); an
// invalid colour (the list's own) for a team it does not know.
QColor liveTeamColor(const std::string& team);

// The lower pane of the main window: the object picked in the canvas, its
// host name, status, players and console lines, an rcon command line with a
// history of the commands sent in this session, Kick (or Change POV for a hub
// manager), the record buttons for proxies and the FTP queue length.
//
// The console has three pages: the operator's own commands with their
// replies (1,000 lines per machine, kept apart from the polls' answers), the
// machine's whole console, and its live log (chat, kills, joins, rounds, as
// the machine streams them, with Stream Logs Here and Stop Streaming). The
// player list is a sortable table under a sparkline of the last 24 hours or 7 days.
//
// Everything shown is rebuilt from the picked object at every document
// update; the panel keeps only the command history and transcripts.
class CControlView : public QWidget
{
    Q_OBJECT

public:
    explicit CControlView(CQuorvaneDoc& document, QWidget* parent = nullptr);

    // Rebuilds what the panel shows from the picked object; run at every
    // document update.
    void refresh();

    // The four buttons; also reached by Return (Send) anywhere in the panel.
    void OnSend();
    void OnKick();
    void OnStartRecord();
    void OnStopRecording();
    // Asks the picked game server to stream its log to the log port, or to stop.
    void OnStreamLogs(bool start);

    // The console page in front: Save Log... writes its rows to a file,
    // Clear empties it (the machine's log, the transcript or the live page).
    bool SaveLog(const QString& path);
    void ClearLog();
    ConsoleFindBar* consoleFind() const { return m_pFind; }

    // The chat line of the Live page: "say TEXT" to the picked machines.
    void OnSay();
    // The server whose variables the Variables page shows; null while the
    // page is not in front or the pick is no game server.
    CHLServer* variablesServer() const;
    // Double-click on a variable: asks for its new value and sends it.
    void EditVariable(int row);

    // The commands sent in this session, oldest first.
    const std::vector<QString>& commandHistory() const { return m_history; }

signals:
    // Ctrl+Shift+Enter in the command line: the line for every picked machine.
    void sendToManyRequested(const QString& command);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls that are enabled and disabled together.
    void setActionControlsEnabled(bool enabled);
    void fillPlayers(const CCommonObject& object);
    void fillConsole(const CCommonObject& object);
    void fillTranscript(const CCommonObject* object);
    // Brings the operator's page of object to the front, at its newest line.
    void showTranscript(CCommonObject* object);
    // The live page: rebuilt from the object's ring when the pick changes.
    void fillLive(const CCommonObject* object);
    void addLiveRow(const LogEvent& event);
    void onLogEvent(const std::string& objectName, const LogEvent& event);
    void fillHistory(const CCommonObject* object);
    // The Variables page: tells the document which server to ask, and
    // shows its rules through the filter.
    void fillVariables();
    // The command line belongs to the machine it was typed for: a change of
    // pick keeps what stands there as that machine's draft and shows the
    // draft of the new one.
    void switchDraft(const std::string& name);
    // Up (-1) or Down (+1) in the command history.
    void walkHistory(int step);
    // The picked object when it is in rcon control (or better), else null.
    CCommonObject* controlledObject() const;
    void kickPlayer(const PlayerRow& player);
    // Ban...: the dialog's choices go to the document.
    void banPlayer(const PlayerRow& player);
    void showPlayerMenu(const QPoint& position);

    CQuorvaneDoc& m_document;

    QLineEdit* m_pName;
    QLineEdit* m_pStatus;
    QPushButton* m_pStartRecord;
    QPushButton* m_pStopRecording;
    QLabel* m_pFtp;
    QGroupBox* m_pRcon;
    QTabWidget* m_pPages;
    QListWidget* m_pTranscript;
    QListWidget* m_pConsole;
    QListWidget* m_pLive;
    QPushButton* m_pStreamLogs;
    QPushButton* m_pStopStreaming;
    SparklineWidget* m_pHistory;
    QPushButton* m_pSend;
    QLineEdit* m_pCommand;
    PlayerTable* m_pPlayers;
    QPushButton* m_pKick;
    ConsoleFindBar* m_pFind;
    QPushButton* m_pSaveLog;
    QPushButton* m_pClearLog;
    QLabel* m_pPicked;
    QLineEdit* m_pChat;
    QPushButton* m_pSay;
    QWidget* m_pVariablesPage;
    QLineEdit* m_pVariablesFilter;
    QTableWidget* m_pVariables;
    QLabel* m_pVariablesState;
    // What the Variables page shows: whose rules, of when, through which filter.
    const CHLServer* m_pShownRulesOf = nullptr;
    std::int64_t m_shownRulesTime = -1;
    QString m_shownRulesFilter;
    std::vector<std::pair<std::string, std::string>> m_shownRules;

    std::vector<QString> m_history;
    // Where Up and Down are in the history; m_history.size() is the new line.
    std::size_t m_historyPos = 0;
    // Unsent command lines, by "address:port", and whose the line is now.
    std::map<std::string, QString> m_drafts;
    std::string m_commandOwner;
    // What the transcript page shows: whose, and how many lines it had.
    std::string m_shownTranscript;
    std::uint64_t m_shownTranscriptLines = 0;
    // Whose events the live page shows.
    std::string m_shownLive;
};

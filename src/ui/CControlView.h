#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The lower pane of the main window: the object picked in the canvas, its
// host name, status, players and console lines, an rcon command line with a
// history of the commands sent in this session, Kick (or Change POV for a hub
// manager), the record buttons for proxies and the FTP queue length.
//
// Everything shown is rebuilt from the picked object at every document
// update; the panel keeps only the command history of its own.
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

    // The commands sent in this session, oldest first.
    const std::vector<QString>& commandHistory() const { return m_history; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls that are enabled and disabled together.
    void setActionControlsEnabled(bool enabled);
    void layoutControls();
    void fillPlayers(const CCommonObject& object);
    void fillConsole(const CCommonObject& object);
    // Up (-1) or Down (+1) in the command history.
    void walkHistory(int step);
    // The picked object when it is in rcon control (or better), else null.
    CCommonObject* controlledObject() const;

    CQuorvaneDoc& m_document;

    QLineEdit* m_pName;
    QLineEdit* m_pStatus;
    QPushButton* m_pStartRecord;
    QPushButton* m_pStopRecording;
    QLabel* m_pFtp;
    QGroupBox* m_pRcon;
    QListWidget* m_pConsole;
    QPushButton* m_pSend;
    QLineEdit* m_pCommand;
    QListWidget* m_pPlayers;
    QPushButton* m_pKick;

    std::vector<QString> m_history;
    // Where Up and Down are in the history; m_history.size() is the new line.
    std::size_t m_historyPos = 0;
};

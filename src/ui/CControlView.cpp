#include "ui/CControlView.h"

#include "core/Operator.h"
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CCommonObject.h"
#include "objects/CHLTV.h"
#include "objects/DemoNames.h"
#include "objects/ObjectReport.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <string>

namespace {

// The wire bytes a row shows, kept with it: a row is rewritten only when
// they change, and Kick passes them on unchanged.
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

QByteArray rowBytes(const QListWidgetItem& item)
{
    return item.data(kBytesRole).toByteArray();
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
    if (item.data(kBytesRole).isValid() && rowBytes(item) == bytes)
        return;
    item.setData(kBytesRole, bytes);
    item.setText(decodeText(line));
}

// Sets the text only when it changes, so that a refresh keeps what the
// operator has selected in a read-only field.
template <class Field> void showText(Field& field, const QString& text)
{
    if (field.text() != text)
        field.setText(text);
}

// The status words, and "???" for a value no state has.
QString statusCaption(CSStatus status)
{
    if (status < CSStatus_BAD || status > CSStatus_FULLCONTROL)
        return QStringLiteral("???");
    return QString::fromLatin1(statusText(status));
}

} // namespace

CControlView::CControlView(CQuorvaneDoc& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    setObjectName(QStringLiteral("controlView"));

    // The frame goes first so that the controls it frames lie above it.
    m_pRcon = new QGroupBox(QStringLiteral("Rcon"), this);
    m_pRcon->setObjectName(QStringLiteral("rconBox"));

    m_pName = makeReadOnlyEdit(this, QStringLiteral("nameEdit"));
    m_pStatus = makeReadOnlyEdit(this, QStringLiteral("statusEdit"));
    m_pStartRecord = makeButton(this, QStringLiteral("startRecordButton"), QStringLiteral("StartRecord"));
    m_pStopRecording =
        makeButton(this, QStringLiteral("stopRecordingButton"), QStringLiteral("StopRecording"));
    m_pFtp = new QLabel(QStringLiteral("FTP engine OFF"), this);
    m_pFtp->setObjectName(QStringLiteral("ftpLabel"));
    m_pFtp->setTextFormat(Qt::PlainText);
    m_pConsole = makeList(this, QStringLiteral("consoleList"), QStringLiteral("Chat"));
    m_pSend = makeButton(this, QStringLiteral("sendButton"), QStringLiteral("Send"));
    m_pCommand = new QLineEdit(this);
    m_pCommand->setObjectName(QStringLiteral("commandEdit"));
    m_pPlayers = makeList(this, QStringLiteral("playerList"), QStringLiteral("Players"));
    m_pKick = makeButton(this, QStringLiteral("kickButton"), QStringLiteral("Kick"));

    // Fixed places of the controls the resize leaves alone.
    m_pName->setGeometry(9, 11, 125, 23);
    m_pStatus->setGeometry(135, 11, 110, 23);
    m_pStartRecord->setGeometry(257, 11, 78, 18);
    m_pStopRecording->setGeometry(350, 11, 84, 18);

    setTabOrder(m_pCommand, m_pSend);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    connect(m_pSend, &QPushButton::clicked, this, &CControlView::OnSend);
    connect(m_pKick, &QPushButton::clicked, this, &CControlView::OnKick);
    connect(m_pStartRecord, &QPushButton::clicked, this, &CControlView::OnStartRecord);
    connect(m_pStopRecording, &QPushButton::clicked, this, &CControlView::OnStopRecording);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &CControlView::refresh);

    resize(876, 275);
    layoutControls();
    refresh();
}

void CControlView::refresh()
{
    CCommonObject* object = m_document.m_pSelectedObject;
    if (!object) {
        showText(*m_pStatus, QString());
        showText(*m_pName, QStringLiteral("---"));
        setActionControlsEnabled(false);
        m_pPlayers->clear();
        m_pConsole->clear();
    } else {
        // Worked out first and applied once, so that no control flickers
        // between enabled and disabled at every refresh.
        bool actions = true;
        bool kick = true;
        bool record = true;
        showText(*m_pStatus, statusCaption(object->m_nStatus));
        switch (object->m_nStatus) {
        case CSStatus_BAD:
        case CSStatus_TIMEOUT:
            actions = false;
            m_pPlayers->clear();
            m_pConsole->clear();
            break;
        case CSStatus_MONITORING:
            actions = false;
            m_pConsole->clear();
            break;
        case CSStatus_CONTROL:
            if (object->IsGameServer())
                m_pKick->setText(QStringLiteral("Kick"));
            else if (object->IsHubManager())
                m_pKick->setText(QStringLiteral("Change POV"));
            else
                kick = false;
            record = object->CanRecord();
            break;
        default:
            break;
        }
        setActionControlsEnabled(actions);
        if (actions) {
            m_pKick->setEnabled(kick);
            m_pStartRecord->setEnabled(record);
            m_pStopRecording->setEnabled(record);
        }
        showText(*m_pName, decodeText(object->m_strHostname));
        fillPlayers(*object);
        fillConsole(*object);
    }
    showText(*m_pFtp, QStringLiteral("FTP Queue : %1 jobs left").arg(m_document.m_ftpJobs.GetJobCount()));
}

void CControlView::fillPlayers(const CCommonObject& object)
{
    const int count = std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers);
    resizeRows(*m_pPlayers, count);
    const CCommonObject::PlayerNames& names = object.GetPlayerNames();
    for (int i = 0; i < count; ++i)
        setRow(*m_pPlayers->item(i), names[static_cast<std::size_t>(i)]);
}

void CControlView::fillConsole(const CCommonObject& object)
{
    const int count = std::clamp(object.m_log.count(), 0, CConsoleLog::kCapacity);
    resizeRows(*m_pConsole, count);
    for (int i = 0; i < count; ++i)
        setRow(*m_pConsole->item(i), object.m_log.line(i));
    if (count > 0)
        m_pConsole->scrollToItem(m_pConsole->item(count - 1), QAbstractItemView::EnsureVisible);
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
        object->SendCommand(encodeTyped(command));
        if (m_history.empty() || m_history.back() != command) {
            m_history.push_back(command);
            if (m_history.size() > kHistoryLimit)
                m_history.erase(m_history.begin());
        }
    }
    m_historyPos = m_history.size();
    m_pCommand->clear();
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
    CCommonObject* object = controlledObject();
    if (!object)
        return;
    const QListWidgetItem* row = nullptr;
    for (int i = 0; i < m_pPlayers->count() && !row; ++i) {
        if (m_pPlayers->item(i)->isSelected())
            row = m_pPlayers->item(i);
    }
    if (!row)
        return;
    const QByteArray bytes = rowBytes(*row);
    const std::string name(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (object->IsGameServer()) {
        if (m_document.context().op->askYesNo("Are you sure you want to kick " + name + " ?"))
            object->Kick(name);
    } else if (object->IsHubManager()) {
        object->ChangePOV(name);
    }
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
    proxy->SendCommand("record " + *name);
}

void CControlView::OnStopRecording()
{
    if (auto* proxy = dynamic_cast<CHLTV*>(controlledObject()))
        proxy->SendCommand("stoprecord");
}

void CControlView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void CControlView::layoutControls()
{
    const int w = width();
    const int h = height();
    const auto place = [](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    };
    place(m_pPlayers, w - 190, 10, 180, h - 43);
    place(m_pKick, w - 190, h - 30, 180, 20);
    place(m_pRcon, 10, 35, w - 210, h - 45);
    place(m_pSend, 15, h - 33, 70, 18);
    place(m_pCommand, 90, h - 33, w - 295, 18);
    place(m_pConsole, 15, 50, w - 220, h - 88);
    place(m_pFtp, w - 400, 10, 200, 20);
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

bool CControlView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
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

// The main window's actions on many machines: Send to N machines..., the
// presets (menu, tool bar drop-down, dialog) and Change Map...
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "ui/CChangeMapDlg.h"
#include "ui/CControlView.h"
#include "ui/CMainFrame.h"
#include "ui/CPresetsDlg.h"
#include "ui/CSendToManyDlg.h"
#include "ui/ScheduleDock.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

namespace {

QSettings presetSettings()
{
    return QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane"));
}

} // namespace

void CMainFrame::AddParkItems(QMenu* objects, QToolBar* tools)
{
    if (objects) {
        QSettings store = presetSettings();
        m_document.parkConsole().presets.Load(store);
        objects->addSeparator();
        m_sendToManyAction = objects->addAction(tr("Send to Machines..."));
        m_sendToManyAction->setObjectName(QStringLiteral("sendToManyAction"));
        connect(m_sendToManyAction, &QAction::triggered, this, [this] { OpenSendToMany(); });
        m_scheduleAction = objects->addAction(tr("Sc&hedule..."));
        m_scheduleAction->setObjectName(QStringLiteral("scheduleAction"));
        connect(m_scheduleAction, &QAction::triggered, this, [this] {
            m_schedules->show();
            m_schedules->addForPicked();
        });
        m_presetMenu = objects->addMenu(tr("Run &Preset"));
        m_presetMenu->setObjectName(QStringLiteral("presetMenu"));
        QAction* presets = objects->addAction(tr("Pr&esets..."));
        presets->setObjectName(QStringLiteral("presetsAction"));
        connect(presets, &QAction::triggered, this, &CMainFrame::OpenPresets);
        QAction* changeMap = objects->addAction(tr("Change &Map..."));
        changeMap->setObjectName(QStringLiteral("changeMapAction"));
        connect(changeMap, &QAction::triggered, this, &CMainFrame::OpenChangeMap);
        QAction* restart = objects->addAction(tr("&Restart Round"));
        restart->setObjectName(QStringLiteral("restartRoundAction"));
        connect(restart, &QAction::triggered, this, [this] {
            if (m_document.RestartRoundOnPicked())
                OpenSendToMany();
        });
        connect(objects, &QMenu::aboutToShow, this, &CMainFrame::UpdateParkItems);
        if (auto* panel = qobject_cast<CControlView*>(m_lowerPane))
            connect(panel, &CControlView::sendToManyRequested, this,
                    [this](const QString& command) { OpenSendToMany(command, true); });
    }
    if (tools) {
        auto* button = new QToolButton(tools);
        button->setObjectName(QStringLiteral("presetButton"));
        button->setText(tr("Presets"));
        button->setToolTip(tr("Run a preset on the picked machines"));
        button->setPopupMode(QToolButton::InstantPopup);
        m_presetDropDown = new QMenu(button);
        button->setMenu(m_presetDropDown);
        tools->addSeparator();
        tools->addWidget(button);
    }
    FillPresetMenus();
}

void CMainFrame::FillPresetMenus()
{
    for (QMenu* menu : {m_presetMenu, m_presetDropDown}) {
        if (!menu)
            continue;
        menu->clear();
        for (const Preset& preset : m_document.parkConsole().presets.presets()) {
            const QString name = QString::fromStdString(preset.name);
            // The name is the operator's own text; '&' would make a shortcut.
            QAction* run = menu->addAction(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
            connect(run, &QAction::triggered, this, [this, name] { RunPreset(name); });
        }
        if (menu->isEmpty())
            menu->addAction(tr("(no presets)"))->setEnabled(false);
    }
}

void CMainFrame::UpdateParkItems()
{
    const auto picked = static_cast<int>(m_document.PickedMachines().size());
    if (m_sendToManyAction) {
        m_sendToManyAction->setText(picked == 1 ? tr("Send to 1 machine...")
                                                : tr("Send to %1 machines...").arg(picked));
        m_sendToManyAction->setEnabled(picked > 0);
    }
    if (m_scheduleAction)
        m_scheduleAction->setEnabled(picked > 0);
}

CSendToManyDlg* CMainFrame::OpenSendToMany(const QString& commands, bool sendNow)
{
    if (!m_sendToMany)
        m_sendToMany = new CSendToManyDlg(m_document, this);
    if (!commands.isEmpty())
        m_sendToMany->setCommands(commands);
    m_sendToMany->show();
    m_sendToMany->raise();
    if (sendNow)
        m_sendToMany->send();
    return m_sendToMany;
}

void CMainFrame::OpenPresets()
{
    CPresetsDlg dialog(m_document.parkConsole().presets, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_document.parkConsole().presets = dialog.book();
    QSettings store = presetSettings();
    m_document.parkConsole().presets.Save(store);
    FillPresetMenus();
}

bool CMainFrame::RunPreset(const QString& name)
{
    if (!m_document.RunPreset(encodeTyped(name)))
        return false;
    OpenSendToMany();
    return true;
}

void CMainFrame::OpenChangeMap()
{
    auto* dialog = new CChangeMapDlg(m_document, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &CChangeMapDlg::sent, this, [this] { OpenSendToMany(); });
    dialog->show();
}

#include "ui/CBanDlg.h"

#include "park/BanCommands.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

CBanDlg::CBanDlg(const QString& what, bool hasGroup, bool hasZone, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Ban"));
    auto* layout = new QVBoxLayout(this);
    auto* target = new QLabel(this);
    target->setTextFormat(Qt::PlainText);
    target->setText(what);
    layout->addWidget(target);
    auto* form = new QFormLayout;
    m_minutes = new QSpinBox(this);
    m_minutes->setObjectName(QStringLiteral("banMinutes"));
    m_minutes->setRange(0, static_cast<int>(bancmd::kMaxMinutes));
    m_minutes->setSpecialValueText(tr("permanent"));
    m_minutes->setSuffix(tr(" min"));
    form->addRow(tr("&Duration:"), m_minutes);
    m_reason = new QLineEdit(this);
    m_reason->setObjectName(QStringLiteral("banReason"));
    m_reason->setMaxLength(200);
    form->addRow(tr("&Reason:"), m_reason);
    m_scope = new QComboBox(this);
    m_scope->setObjectName(QStringLiteral("banScope"));
    m_scope->addItem(tr("This server"), static_cast<int>(BanScope::Kind::Server));
    if (hasGroup)
        m_scope->addItem(tr("Its group"), static_cast<int>(BanScope::Kind::Group));
    if (hasZone)
        m_scope->addItem(tr("Its zone"), static_cast<int>(BanScope::Kind::Zone));
    m_scope->addItem(tr("The whole park"), static_cast<int>(BanScope::Kind::Park));
    form->addRow(tr("&Where:"), m_scope);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CBanDlg::Choice CBanDlg::choice() const
{
    Choice choice;
    choice.minutes = m_minutes->value();
    choice.reason = m_reason->text().toStdString();
    choice.scope = static_cast<BanScope::Kind>(m_scope->currentData().toInt());
    return choice;
}

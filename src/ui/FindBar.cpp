#include "ui/FindBar.h"

#include "ui/CQuorvaneView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

FindBar::FindBar(CQuorvaneView& view, QWidget* parent) : QWidget(parent), m_view(view)
{
    setObjectName(QStringLiteral("findBar"));
    auto* label = new QLabel(tr("Find:"), this);
    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("findLine"));
    m_line->setPlaceholderText(tr("host name, address, map or player"));
    m_line->setClearButtonEnabled(true);
    label->setBuddy(m_line);
    m_count = new QLabel(this);
    auto* closeButton = new QToolButton(this);
    closeButton->setText(tr("Close"));
    closeButton->setAutoRaise(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(m_line, 1);
    layout->addWidget(m_count);
    layout->addWidget(closeButton);

    m_line->installEventFilter(this);
    connect(m_line, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_view.setFindText(text);
        showCount();
    });
    connect(m_line, &QLineEdit::returnPressed, this, [this] { m_view.JumpToNextMatch(); });
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

void FindBar::open()
{
    show();
    m_line->setFocus(Qt::ShortcutFocusReason);
    m_line->selectAll();
}

void FindBar::close()
{
    m_line->clear();
    hide();
    m_view.setFocus(Qt::OtherFocusReason);
}

void FindBar::showCount()
{
    const auto found = m_view.matches().size();
    m_count->setText(m_line->text().isEmpty() ? QString()
                                              : tr("%n match(es)", nullptr, static_cast<int>(found)));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_line && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

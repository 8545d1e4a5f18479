#include "ui/ConsoleFindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>

ConsoleFindBar::ConsoleFindBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("consoleFindBar"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("consoleFindEdit"));
    m_edit->setPlaceholderText(tr("Find in the console"));
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);
    m_result = new QLabel(this);
    m_result->setTextFormat(Qt::PlainText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_result);
    connect(m_edit, &QLineEdit::textEdited, this, [this] {
        // Typing refines the search from the row found so far.
        findFrom(m_list && m_list->currentRow() >= 0 ? m_list->currentRow() : 0);
    });
    hide();
}

void ConsoleFindBar::open(QListWidget* list)
{
    m_list = list;
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

bool ConsoleFindBar::findNext()
{
    return findFrom(m_list && m_list->currentRow() >= 0 ? m_list->currentRow() + 1 : 0);
}

bool ConsoleFindBar::findFrom(int start)
{
    if (!m_list)
        return false;
    const QString text = m_edit->text();
    const int count = m_list->count();
    if (text.isEmpty() || count == 0) {
        m_result->clear();
        return false;
    }
    for (int step = 0; step < count; ++step) {
        const int row = (start + step) % count;
        if (m_list->item(row)->text().contains(text, Qt::CaseInsensitive)) {
            m_list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            m_list->scrollToItem(m_list->item(row));
            m_result->clear();
            return true;
        }
    }
    m_result->setText(tr("Not found"));
    return false;
}

void ConsoleFindBar::close()
{
    hide();
    if (m_list)
        m_list->setFocus(Qt::OtherFocusReason);
}

bool ConsoleFindBar::eventFilter(QObject* watched, QEvent* event)
{
    // Enter and Esc stay in the bar: the panel sends its command line on
    // Enter anywhere else.
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            findNext();
            return true;
        }
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool saveListLines(const QListWidget& list, const QString& path, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error = file.errorString();
        return false;
    }
    for (int row = 0; row < list.count(); ++row) {
        file.write(list.item(row)->text().toUtf8());
        file.write("\n");
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

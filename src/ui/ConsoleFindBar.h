#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

// Searching a console page (Ctrl+F while the page has the focus): the next
// row holding the text, case-insensitively, is selected and scrolled to as
// the text is typed; Enter goes on to the next one (wrapping), Esc closes
// the bar and gives the focus back to the page.
class ConsoleFindBar : public QWidget
{
    Q_OBJECT

public:
    explicit ConsoleFindBar(QWidget* parent = nullptr);

    void open(QListWidget* list);
    // Selects the first row holding the text after the current one
    // (from the top again at the end); false when none holds it.
    bool findNext();
    QLineEdit* edit() const { return m_edit; }
    QListWidget* list() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool findFrom(int start);
    void close();

    QLineEdit* m_edit;
    QLabel* m_result;
    QListWidget* m_list = nullptr;
};

// Writes the rows of a list, one a line, as UTF-8; false and a message when
// the file cannot be written (the file is then left as it was).
bool saveListLines(const QListWidget& list, const QString& path, QString& error);

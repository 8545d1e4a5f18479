#pragma once

#include <QWidget>

class CQuorvaneView;
class QLabel;
class QLineEdit;

// The search line above the canvas (Ctrl+F): typing filters and highlights
// the boxes, Enter jumps to the next match, Esc clears and closes.
class FindBar : public QWidget
{
    Q_OBJECT

public:
    FindBar(CQuorvaneView& view, QWidget* parent = nullptr);

    // Shows the bar and puts the cursor in its line.
    void open();
    // Clears the search, hides the bar and gives the canvas the focus.
    void close();

    QLineEdit* line() const { return m_line; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();

    CQuorvaneView& m_view;
    QLineEdit* m_line;
    QLabel* m_count;
};

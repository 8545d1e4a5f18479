#include "ui/SortedComboBox.h"

SortedComboBox::SortedComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(10);
}

int SortedComboBox::addSorted(const QString& text, const QVariant& data)
{
    int index = 0;
    while (index < count() && QString::compare(itemText(index), text, Qt::CaseInsensitive) <= 0)
        ++index;
    // A list starts with nothing selected; QComboBox would select the
    // first entry added.
    const bool nothingSelected = currentIndex() < 0;
    insertItem(index, text, data);
    if (nothingSelected)
        setCurrentIndex(-1);
    return index;
}

int SortedComboBox::selectByPrefix(const QString& prefix)
{
    if (prefix.isEmpty() || count() == 0)
        return -1;
    for (int step = 0; step < count(); ++step) {
        const int index = (1 + step) % count();
        if (itemText(index).startsWith(prefix, Qt::CaseInsensitive)) {
            setCurrentIndex(index);
            return index;
        }
    }
    return -1;
}

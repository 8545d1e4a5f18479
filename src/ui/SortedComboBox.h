#pragma once

#include <QComboBox>

// A drop-down list (no free text) whose entries stay sorted alphabetically,
// without regard to case; an entry equal to earlier ones goes after them.
class SortedComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit SortedComboBox(QWidget* parent = nullptr);

    // Inserts text at its sorted place, carrying data; returns its index.
    int addSorted(const QString& text, const QVariant& data = QVariant());

    // Selects the first entry whose text begins with prefix (any case),
    // searching from the second entry to the end and then from the first.
    // Returns the index selected, or -1 with the selection left unchanged
    // when no entry matches or the prefix is empty.
    int selectByPrefix(const QString& prefix);
};

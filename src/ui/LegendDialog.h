#pragma once

#include <QDialog>

// Help, Legend: every picture, mark, gauge, frame and line of the canvas,
// each with what it means.
class LegendDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LegendDialog(QWidget* parent = nullptr);
};

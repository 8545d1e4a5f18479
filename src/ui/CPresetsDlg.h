#pragma once

#include <QDialog>

class PresetBook;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

// Presets...: the named command lists, made, changed, deleted, imported
// from and exported to a file. Works on a copy of the book; OK hands it
// back (the caller keeps it in the document and in QSettings).
class CPresetsDlg : public QDialog
{
    Q_OBJECT

public:
    CPresetsDlg(const PresetBook& book, QWidget* parent = nullptr);
    ~CPresetsDlg() override;

    const PresetBook& book() const { return *m_book; }

    // Keeps the name and commands being edited as a preset; false (with
    // the reason shown) when it cannot be kept.
    bool keepEdited();
    bool removeSelected();
    bool importFile(const QString& path);
    bool exportFile(const QString& path);

private:
    void fillList();
    void showPreset(int row);

    std::unique_ptr<PresetBook> m_book;
    QListWidget* m_pList;
    QLineEdit* m_pName;
    QPlainTextEdit* m_pCommands;
};

#include "ui/CPresetsDlg.h"

#include "core/TextCodec.h"
#include "park/Presets.h"
#include "ui/PlainMessageBox.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

CPresetsDlg::CPresetsDlg(const PresetBook& book, QWidget* parent)
    : QDialog(parent), m_book(std::make_unique<PresetBook>(book))
{
    setObjectName(QStringLiteral("presetsDialog"));
    setWindowTitle(tr("Presets"));
    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("presetList"));
    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QStringLiteral("presetName"));
    m_pName->setPlaceholderText(tr("Name, e.g. Go live"));
    m_pCommands = new QPlainTextEdit(this);
    m_pCommands->setObjectName(QStringLiteral("presetCommands"));
    m_pCommands->setPlaceholderText(tr("One command a line"));
    auto* keep = new QPushButton(tr("&Keep"), this);
    auto* remove = new QPushButton(tr("&Delete"), this);
    auto* import = new QPushButton(tr("&Import..."), this);
    auto* exportButton = new QPushButton(tr("&Export..."), this);
    for (QPushButton* button : {keep, remove, import, exportButton})
        button->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* edit = new QVBoxLayout;
    edit->addWidget(m_pName);
    edit->addWidget(m_pCommands, 1);
    auto* row = new QHBoxLayout;
    for (QPushButton* button : {keep, remove, import, exportButton})
        row->addWidget(button);
    edit->addLayout(row);
    auto* body = new QHBoxLayout;
    body->addWidget(m_pList, 1);
    body->addLayout(edit, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
    resize(600, 360);

    connect(m_pList, &QListWidget::currentRowChanged, this, &CPresetsDlg::showPreset);
    connect(keep, &QPushButton::clicked, this, &CPresetsDlg::keepEdited);
    connect(remove, &QPushButton::clicked, this, &CPresetsDlg::removeSelected);
    connect(import, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Import Presets"), QString(),
                                                          tr("Presets (*.json);;All files (*)"));
        if (!path.isEmpty())
            importFile(path);
    });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Export Presets"), QString(),
                                                          tr("Presets (*.json);;All files (*)"));
        if (!path.isEmpty())
            exportFile(path);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fillList();
}

CPresetsDlg::~CPresetsDlg() = default;

void CPresetsDlg::fillList()
{
    m_pList->clear();
    for (const Preset& preset : m_book->presets())
        m_pList->addItem(QString::fromStdString(preset.name));
}

void CPresetsDlg::showPreset(int row)
{
    if (row < 0 || row >= static_cast<int>(m_book->presets().size()))
        return;
    const Preset& preset = m_book->presets()[static_cast<std::size_t>(row)];
    m_pName->setText(QString::fromStdString(preset.name));
    QStringList lines;
    for (const std::string& command : preset.commands)
        lines.append(QString::fromStdString(command));
    m_pCommands->setPlainText(lines.join(QLatin1Char('\n')));
}

bool CPresetsDlg::keepEdited()
{
    Preset preset;
    preset.name = encodeTyped(m_pName->text().trimmed());
    for (const QString& line : m_pCommands->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            preset.commands.push_back(encodeTyped(line.trimmed()));
    }
    if (const auto refusal = m_book->Put(preset)) {
        plainbox::warn(this, QString::fromStdString(*refusal));
        return false;
    }
    fillList();
    return true;
}

bool CPresetsDlg::removeSelected()
{
    QListWidgetItem* item = m_pList->currentItem();
    if (!item || !m_book->Remove(encodeTyped(item->text())))
        return false;
    fillList();
    return true;
}

bool CPresetsDlg::importFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        plainbox::warn(this, tr("Cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    // One byte more than a preset file may hold tells a larger one.
    const QByteArray bytes = file.read(PresetBook::kMaxFileBytes + 1);
    if (const auto refusal = m_book->Import(bytes)) {
        plainbox::warn(this, QString::fromStdString(*refusal));
        return false;
    }
    fillList();
    return true;
}

bool CPresetsDlg::exportFile(const QString& path)
{
    // Written whole or not at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_book->Export()) < 0 || !file.commit()) {
        plainbox::warn(this, tr("Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

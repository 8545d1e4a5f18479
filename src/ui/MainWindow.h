#pragma once

#include <QMainWindow>

class CQuorvaneDoc;

// The program's main window. For now it shows the document's title and
// drives its one-second tick; the canvas and control panel live below it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(CQuorvaneDoc& document, QWidget* parent = nullptr);

    // The layout file shown in the title; empty for an untitled layout.
    void setDocumentPath(const QString& path);

private:
    void updateTitle();

    CQuorvaneDoc& m_document;
    QString m_path;
};

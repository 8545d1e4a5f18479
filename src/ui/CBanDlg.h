#pragma once

#include "park/ParkBans.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

class QComboBox;
class QLineEdit;
class QSpinBox;

// Ban...: how long (minutes, 0 = permanent), why, and where (this server,
// its group, its zone, the whole park). It only collects the choices; the
// document checks them and sends.
class CBanDlg : public QDialog
{
    Q_OBJECT

public:
    struct Choice
    {
        std::int64_t minutes = 0;
        std::string reason; // UTF-8
        BanScope::Kind scope = BanScope::Kind::Server;
    };

    // what: the player and what he is banned by, plain text.
    CBanDlg(const QString& what, bool hasGroup, bool hasZone, QWidget* parent = nullptr);
    Choice choice() const;

    QSpinBox* minutesBox() const { return m_minutes; }
    QLineEdit* reasonEdit() const { return m_reason; }
    QComboBox* scopeBox() const { return m_scope; }

private:
    QSpinBox* m_minutes;
    QLineEdit* m_reason;
    QComboBox* m_scope;
};

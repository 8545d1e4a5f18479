#include "ui/LedgerCsv.h"

#include <QAbstractItemModel>
#include <QString>

namespace {
QByteArray Field(const QVariant& value)
{
    const bool text = value.typeId() == QMetaType::QString;
    QString cell = value.toString();
    if (text && !cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell.front()))
        cell.prepend(QLatin1Char('\''));
    const bool quote = cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                       cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r')) ||
                       cell.startsWith(QLatin1Char(' ')) || cell.endsWith(QLatin1Char(' '));
    if (!quote)
        return cell.toUtf8();
    cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + cell.toUtf8() + '"';
}
} // namespace

QByteArray ledgerCsv(const QAbstractItemModel& model, int role)
{
    QByteArray csv;
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c)
        csv += (c ? "," : "") + Field(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    csv += "\r\n";
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c)
            csv += (c ? "," : "") + Field(model.data(model.index(r, c), role));
        csv += "\r\n";
    }
    return csv;
}

#pragma once

#include <QDate>
#include <QString>

class QAbstractItemModel;

// Writes the archive table, in the model's order, into a new workbook: the title in D2, the
// bordered headers of the model's columns (all but its empty last one) in row 4 from column B and
// one bordered row per record below. Numbers stay numbers, texts stay texts; a value that is not a
// finite number leaves a bordered empty cell. False when the file could not be written.
bool saveArchiveToXlsx(QAbstractItemModel* model, const QDate& date, const QString& fileName,
                       const QString& deviceName);

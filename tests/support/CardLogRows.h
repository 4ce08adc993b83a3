#pragma once

#include <QString>

namespace tolva {
class Database;
}

// VCardLog rows for report tests, written with bound values. date is a
// business date "YYYY/MM/DD", stored the way the desk stores it.
void addCardLog(tolva::Database& db, const QString& dept, const QString& card, const QString& type,
                const QString& amount, const QString& bill, const QString& date);
// rows transactions spread over stores S01..Snn (deposits and deductions in
// turn, amounts 100..), all on date.
void addCardLogs(tolva::Database& db, int rows, int stores, const QString& date);

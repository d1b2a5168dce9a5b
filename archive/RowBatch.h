#pragma once

#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

class ArchiveDatabase;

// Rows for one table gathered and inserted many to a statement: a round trip
// and a statement per row cost a shared server more than the rows themselves.
// Inserts what it holds when full and on flush(); every failure is an
// ArchiveError.
class RowBatch
{
public:
    RowBatch(ArchiveDatabase &db, const QString &table, const QStringList &columns);

    // How many values one statement may carry.
    static int valuesPerStatement(const ArchiveDatabase &db);

    void add(const QVariantList &row);
    void flush();

private:
    QString statement(int rows) const;

    ArchiveDatabase &m_db;
    QString m_head;
    QString m_rowMarks;
    int m_columns = 0;
    int m_rowsPerStatement = 1;
    QVariantList m_values;
    QSqlQuery m_full; // prepared for m_rowsPerStatement rows on first use
    bool m_prepared = false;
};

#include "RowBatch.h"

#include "ArchiveDatabase.h"

namespace {

// Values per statement: SQLite before 3.32 takes at most 999; PostgreSQL 65535.
constexpr int kSqliteValues = 999;
constexpr int kServerValues = 16000;

} // namespace

RowBatch::RowBatch(ArchiveDatabase &db, const QString &table, const QStringList &columns)
    : m_db(db),
      m_head(QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(u", "))),
      m_rowMarks(u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u", ") + u')'),
      m_columns(int(columns.size())),
      m_rowsPerStatement(valuesPerStatement(db) / int(columns.size()))
{
}

int RowBatch::valuesPerStatement(const ArchiveDatabase &db)
{
    return db.isSqlite() ? kSqliteValues : kServerValues;
}

QString RowBatch::statement(int rows) const
{
    QString sql = m_head;
    sql.reserve(m_head.size() + rows * (m_rowMarks.size() + 2));
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            sql += QStringLiteral(", ");
        sql += m_rowMarks;
    }
    return sql;
}

void RowBatch::add(const QVariantList &row)
{
    Q_ASSERT(row.size() == m_columns);
    m_values += row;
    if (m_values.size() < qsizetype(m_rowsPerStatement) * m_columns)
        return;
    if (!m_prepared) {
        m_full = m_db.prepare(statement(m_rowsPerStatement));
        m_prepared = true;
    }
    m_db.run(m_full, m_values);
    m_values.clear();
}

void RowBatch::flush()
{
    if (m_values.isEmpty())
        return;
    m_db.exec(statement(int(m_values.size() / m_columns)), m_values);
    m_values.clear();
}

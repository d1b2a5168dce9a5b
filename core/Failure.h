#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure of a user-level operation: a kind name (EComPort, EInOutError,
// ERegistryException, EConvertError, Exception) and the failure's own text.
// Handlers catch it and report "<prefix> Oka: <kind>: <text>".
class Failure : public std::exception
{
public:
    Failure(QString kind, QString text)
        : m_kind(std::move(kind)), m_text(std::move(text)), m_what(m_text.toUtf8())
    {
    }

    const QString &kind() const { return m_kind; }
    const QString &text() const { return m_text; }
    // "<kind>: <text>", the part that follows "Oka: " in a message.
    QString reason() const { return m_kind + QStringLiteral(": ") + m_text; }
    // A plain sentence on what the user can do about it; often empty.
    const QString &advice() const { return m_advice; }
    void setAdvice(QString advice) { m_advice = std::move(advice); }
    // The text, UTF-8, for code that knows only std::exception.
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_kind;
    QString m_text;
    QByteArray m_what;
    QString m_advice;
};

#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The metal under the paint, as the gauge reports it: steel or aluminium.
enum class Substrate { FE, AL };
// Where a reading came from: the gauge, or typed in by the inspector.
enum class ReadingSource { Gauge, Typed };

// "FE" or "AL".
QString substrateName(Substrate substrate);
std::optional<Substrate> substrateFromName(QStringView name);

// One reading of a point. Everything the program shows, says and sends about
// it is made from these fields, never read back from a widget.
struct Reading
{
    Substrate substrate = Substrate::FE;
    int value = 0; // micrometres: 0..65535 from the gauge, 5..1000 typed
    ReadingSource source = ReadingSource::Gauge;
    QDateTime takenAt = {};

    // The value in decimal, as shown, spoken and handed over.
    QString valueText() const { return QString::number(value); }
    // The reading's line in the list: "FE 123 µm".
    QString line() const;

    bool operator==(const Reading &) const = default;
};

#pragma once

#include "Fakes.h"
#include "FileRegistry.h"
#include "KromaglenForZov_M.h"

// A station without devices, for the tests, benchmarks and tools that run the
// wizard: a gauge link fed by hand, sound and shell that only take notes, and
// the registry read from the text of a .reg file.
struct FakeStation
{
    // Three Bluetooth serial ports: COM6, COM7, COM10.
    static const QByteArray kRegistry;
    // The repair's pause: a fake or a pseudo-terminal needs no second to settle.
    static constexpr int kReconnectPauseMs = 20;

    explicit FakeStation(const QByteArray &registryFile = kRegistry);

    // What the wizard is given: these devices, a gauge link of the caller's
    // own where it stands in (a real serial port), the handover server on
    // serverPort (0: any free one), and `folder` as the program's own folder.
    TF_MainServices services(const QString &folder, quint16 serverPort = 0,
                             GaugePort *gauge = nullptr);

    FileRegistry registry;
    FakeGaugePort port;
    FakeSoundPlayer player;
    FakeBeeper beeper;
    FakeShell shell;
    // A reserved test domain, which the footers show and link to.
    QString webAddress = QStringLiteral("https://www.kromaglen.example");
    // The archive the wizard keeps its inspections in; none by default.
    ArchiveRecorder *archive = nullptr;
};

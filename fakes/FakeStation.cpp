#include "FakeStation.h"

const QByteArray FakeStation::kRegistry =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
    "\"\\\\Device\\\\BthModem0\"=\"COM6\"\r\n"
    "\"\\\\Device\\\\BthModem1\"=\"COM7\"\r\n"
    "\"\\\\Device\\\\BthModem2\"=\"COM10\"\r\n";

FakeStation::FakeStation(const QByteArray &registryFile)
    : registry(FileRegistry::fromBytes(registryFile))
{
}

TF_MainServices FakeStation::services(const QString &folder, quint16 serverPort, GaugePort *gauge)
{
    TF_MainServices s;
    s.port = gauge ? gauge : &port;
    s.registry = &registry;
    s.player = &player;
    s.beeper = &beeper;
    s.shell = &shell;
    s.serverPort = serverPort;
    s.executableFolder = folder;
    s.reconnectPauseMs = kReconnectPauseMs;
    s.archive = archive;
    s.webAddress = webAddress;
    return s;
}

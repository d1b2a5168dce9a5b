#pragma once

#include <QString>

// Message texts that more than one handler shows.
namespace Messages {

inline const QString kConnectFailure =
    QStringLiteral("A kapcsolódás a Kromaglen-hez nem sikerült! Oka: ");
inline const QString kConnectFailureDesc = QStringLiteral(
    "A hiba lehetséges okai:\r\r- Nem kapcsolta be a Kromaglen-et.\r- Túl távol van a Kromaglen a "
    "Bloetooth adaptertől (max. 10m)!\r- Egy másik készülék zavarja a rádiós kapcsolatot.\r- Nem a "
    "használni kívánt Kromaglen-hez tartozó COM port van kiválasztva.\r- Nincs bedugva a Bluetooth "
    "adapter.\r- Másik USB csatlakozóba dugta a Bluetooth adaptert.\r- Ha másik számítógéppel "
    "párosította a Kromaglenet, akkor itt újra kell párosítani a \"Bluetooth-eszközök\" "
    "kontrollpanelen a \"Hozzáadás\" gombbal.");
inline const QString kServerFailureDesc = QStringLiteral(
    "A hiba lehetséges okai:\r\r- Már elindította a KromaglenForZov.exe programot.\r- Egy másik "
    "program foglalja a 4747-es portot.\r- Nincs hálózat telepítve a számítógépre.");

} // namespace Messages

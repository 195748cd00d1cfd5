#pragma once
// The system's dial-up service behind Numerotation: NetworkManager over the
// system D-Bus on Linux, the remote-access service on Windows. CMake builds
// the one file of the platform (numerotationlinux.cpp or numerotationwindows.cpp).

#include "platform/numerotation.h"

#include <memory>

#ifndef _WIN32
#include <QDBusConnection>
#include <QString>
#include <optional>
#endif

namespace velorine {

#ifdef _WIN32

// RasEnumConnectionsA / RasGetConnectStatusA from RasApi32.dll and
// InternetAutodialHangup from wininet.dll, loaded when called. A library or
// function that cannot be loaded makes its call a no-op: no connection.
class NumerotationRas : public Numerotation {
public:
    bool connexionactive() override;
    void raccrocher() override;
};

#else

// NetworkManager over D-Bus. The dial-up connection is the first active
// connection, in NetworkManager's order, of a dial-up kind: a mobile modem
// (gsm, cdma), PPP over Ethernet (pppoe), Bluetooth dial-up networking
// (bluetooth of type dun), or any connection carried by a modem or PPP
// device. Other active connections (Ethernet, Wi-Fi, VPN) are not looked at.
// It is connected when its state is ACTIVATED; hanging up deactivates it.
//
// No bus, no NetworkManager, no such connection, or any D-Bus error gives
// "not connected", silently. Each call waits at most delai milliseconds and a
// whole question at most four times that, so a missing or stuck service never
// holds the window for long.
class NumerotationNetworkManager : public Numerotation {
public:
    explicit NumerotationNetworkManager(QDBusConnection bus = QDBusConnection::systemBus(), int delai = 500);
    bool connexionactive() override;
    void raccrocher() override;

private:
    struct Connexion {
        QString chemin;    // object path of the active connection
        unsigned etat = 0; // NMActiveConnectionState
    };
    std::optional<Connexion> premiereconnexion();

    QDBusConnection bus_;
    int delai_;
};

#endif

// The dial-up service of this system.
std::unique_ptr<Numerotation> numerotationsysteme();

} // namespace velorine

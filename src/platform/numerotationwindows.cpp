#include "platform/numerotationsysteme.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace velorine {
namespace {

// The single-byte structures of the remote-access service, laid out byte by
// byte. RASCONNA: dwSize, then the connection handle hrasconn aligned to a
// pointer, then the entry name (257), device type (17) and device name (129)
// as characters: 412 bytes in a 32-bit program, 424 in a 64-bit one, where
// the handle is 8 bytes wide and starts at offset 8. RASCONNSTATUSA: dwSize,
// the connection state, the error code, then 146 characters: 160 bytes.
constexpr std::uint32_t tailleconnexion = sizeof(void*) == 8 ? 424 : 412;
constexpr std::size_t decalagehandle = sizeof(void*);
constexpr std::uint32_t nombreconnexions = 256;
constexpr std::uint32_t taillestatut = 160;
constexpr std::size_t decalageetat = 4;
constexpr std::uint32_t connecte = 0x2000; // RASCS_Connected

using EnumConnexions = DWORD(WINAPI*)(void* liste, DWORD* octets, DWORD* nombre);
using StatutConnexion = DWORD(WINAPI*)(HANDLE connexion, void* statut);
using RaccrocherAuto = BOOL(WINAPI*)(DWORD reserve);

void ecrire32(unsigned char* ou, std::uint32_t valeur)
{
    for (int i = 0; i < 4; ++i)
        ou[i] = static_cast<unsigned char>(valeur >> (8 * i));
}

std::uint32_t lire32(const unsigned char* ou)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(ou[i]) << (8 * i);
    return v;
}

// A function of a system library, or nothing when either cannot be loaded.
template <class Fonction>
Fonction fonction(HMODULE bibliotheque, const char* nom)
{
    if (!bibliotheque)
        return nullptr;
    return reinterpret_cast<Fonction>(reinterpret_cast<void*>(::GetProcAddress(bibliotheque, nom)));
}

} // namespace

bool NumerotationRas::connexionactive()
{
    // A call that cannot be made is skipped: the enumeration then "succeeds"
    // with a zero handle, the state stays 0, and the answer is false.
    const HMODULE ras = ::LoadLibraryA("RasApi32.dll");
    const auto enumerer = fonction<EnumConnexions>(ras, "RasEnumConnectionsA");
    const auto statut = fonction<StatutConnexion>(ras, "RasGetConnectStatusA");

    std::vector<unsigned char> liste(static_cast<std::size_t>(tailleconnexion) * nombreconnexions, 0);
    ecrire32(liste.data(), tailleconnexion);
    DWORD octets = lire32(liste.data()) * nombreconnexions;
    DWORD nombre = 0;
    DWORD code = 0;
    if (enumerer)
        code = enumerer(liste.data(), &octets, &nombre);
    if (code != 0) {
        if (ras)
            ::FreeLibrary(ras);
        return false;
    }

    HANDLE premiere = nullptr;
    std::memcpy(&premiere, liste.data() + decalagehandle, sizeof premiere);
    unsigned char etat[taillestatut] = {};
    ecrire32(etat, taillestatut);
    if (statut)
        statut(premiere, etat);
    if (ras)
        ::FreeLibrary(ras);
    return lire32(etat + decalageetat) == connecte;
}

void NumerotationRas::raccrocher()
{
    const HMODULE wininet = ::LoadLibraryA("wininet.dll");
    if (const auto raccrocherauto = fonction<RaccrocherAuto>(wininet, "InternetAutodialHangup"))
        raccrocherauto(0);
    if (wininet)
        ::FreeLibrary(wininet);
}

std::unique_ptr<Numerotation> numerotationsysteme()
{
    return std::make_unique<NumerotationRas>();
}

} // namespace velorine

// The leading-number rule on any text: a finite value or Echec; the 16-bit
// conversion gives a value in range or Echec.

#include "records/cp1252.h"
#include "base/echec.h"
#include "records/nombres.h"

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace velorine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    const QString texte =
        cp1252::decoder(QByteArray(reinterpret_cast<const char*>(octets), static_cast<qsizetype>(taille)));
    try {
        const double v = lirenombre(texte);
        if (std::isnan(v))
            std::abort();
        try {
            const std::int16_t n = entier16(v);
            if (std::fabs(static_cast<double>(n) - v) > 0.5)
                std::abort();
            (void)textenombre(n);
        } catch (const Echec&) {
            if (v >= -32768.5 && v < 32767.5)
                std::abort();
        }
    } catch (const Echec&) {
    }
    return 0;
}

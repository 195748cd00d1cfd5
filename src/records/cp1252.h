#pragma once
// Windows-1252, the code page of every text stored in a record file.

#include <QByteArray>
#include <QString>

namespace velorine::cp1252 {

// Each byte becomes one character. The five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same value, as Windows itself does, so every byte survives a round trip.
QString decoder(const QByteArray& octets);

// Each character becomes one byte; a character that Windows-1252 cannot hold
// becomes '?'.
QByteArray encoder(const QString& texte);

} // namespace velorine::cp1252

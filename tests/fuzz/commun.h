#pragma once
// Shared pieces of the fuzz targets: a scratch folder for the files a target
// reads or writes, and the bytes of an input as a record file.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace velorine::fuzz {

// A folder that lives as long as the fuzzing process.
inline const QString& dossiertravail()
{
    static QTemporaryDir dossier(QDir::tempPath() + QStringLiteral("/velorine-fuzz-XXXXXX"));
    static const QString chemin = dossier.path();
    if (!dossier.isValid())
        std::abort();
    return chemin;
}

// Writes the input as the file nom of the scratch folder; returns its path.
inline QString ecrire(const QString& nom, const std::uint8_t* octets, std::size_t taille)
{
    const QString chemin = dossiertravail() + u'/' + nom;
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(reinterpret_cast<const char*>(octets), static_cast<qint64>(taille));
    return chemin;
}

} // namespace velorine::fuzz

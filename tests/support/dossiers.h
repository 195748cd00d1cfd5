#pragma once
// Real files on disk for tests: a fresh temporary folder, record files built
// byte by byte, and plain files.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace velorine::test {

// One 128-byte record holding texte in Windows-1252 (Latin-1 suffices for the
// tests' texts).
inline QByteArray enregistrement(const QByteArray& octets)
{
    QByteArray r(128, '\0');
    r[0] = static_cast<char>(octets.size() & 0xFF);
    r[1] = static_cast<char>((octets.size() >> 8) & 0xFF);
    r.replace(2, octets.size(), octets);
    return r.left(128);
}

inline QByteArray fichierenregistrements(const QStringList& textes)
{
    QByteArray contenu;
    for (const QString& t : textes)
        contenu += enregistrement(t.toLatin1());
    return contenu;
}

inline void ecrirefichier(const QString& chemin, const QByteArray& contenu)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(chemin));
    f.write(contenu);
}

inline QByteArray lirefichier(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Every entry below dossier, relative, sorted: for "nothing else was written".
inline QStringList contenudossier(const QString& dossier)
{
    QStringList noms;
    QDir racine(dossier);
    const std::function<void(const QString&)> parcourir = [&](const QString& sous) {
        const QDir d(racine.filePath(sous));
        for (const QString& n :
             d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString rel = sous.isEmpty() ? n : sous + u'/' + n;
            noms.append(rel);
            if (QFileInfo(racine.filePath(rel)).isDir())
                parcourir(rel);
        }
    };
    parcourir(QString());
    return noms;
}

// n bytes that differ from one file to the next: another graine, other
// bytes at every offset.
inline QByteArray donnees(qsizetype n, int graine)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 13 + graine + i / 509) % 256);
    return b;
}

} // namespace velorine::test

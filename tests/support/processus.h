#pragma once
// A program run to its end by a test: its exit code and what it wrote.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace velorine::test {

struct Resultat {
    int code = -1;     // the exit code; -1 when it crashed or did not end in time
    QString sortie;    // standard output (both outputs, with MergedChannels)
    QString erreurs;   // standard error
    bool fini = false; // it ended in time
};

// Runs commande (the program, then its arguments) to its end; a program
// still running after delai milliseconds is killed.
inline Resultat lancerprogramme(QStringList commande, int delai = 120000,
                                QProcess::ProcessChannelMode canaux = QProcess::SeparateChannels)
{
    QProcess p;
    p.setProcessChannelMode(canaux);
    const QString programme = commande.takeFirst();
    p.start(programme, commande);
    Resultat r;
    if (!p.waitForFinished(delai)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.fini = true;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.sortie = QString::fromUtf8(p.readAllStandardOutput());
    r.erreurs = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace velorine::test

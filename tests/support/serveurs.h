#pragma once
// Real servers on loopback for tests: the small HTTP server and the FTP
// server of tests/support, started by the test on a free port, bounded in
// time, and stopped when the object goes.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTemporaryDir>

#ifndef VELORINE_SOURCE_DIR
#error "VELORINE_SOURCE_DIR must name the source tree"
#endif

namespace velorine::test {

inline QString scriptsupport(const QString& nom)
{
    return QStringLiteral(VELORINE_SOURCE_DIR "/tests/support/") + nom;
}

class ServeurLocal {
public:
    // Starts /usr/bin/python3 SCRIPT ARGUMENTS and waits (10 s at most) for
    // its "PORT <n>" line.
    ServeurLocal(const QString& script, QStringList arguments)
    {
        journal_ = journaldir_.filePath(QStringLiteral("journal"));
        arguments.prepend(scriptsupport(script));
        arguments << QStringLiteral("--vie") << QStringLiteral("300");
        if (script == u"serveur_http.py")
            arguments << QStringLiteral("--journal") << journal_;
        processus_.setProcessChannelMode(QProcess::SeparateChannels);
        processus_.start(QStringLiteral("/usr/bin/python3"), arguments);
        if (!processus_.waitForStarted(10000))
            return;
        QDeadlineTimer limite(10000);
        QByteArray ligne;
        while (!limite.hasExpired() && !ligne.endsWith('\n')) {
            if (!processus_.canReadLine() && !processus_.waitForReadyRead(int(limite.remainingTime())))
                break;
            if (processus_.canReadLine())
                ligne = processus_.readLine();
        }
        if (ligne.startsWith("PORT "))
            port_ = ligne.mid(5).trimmed().toInt();
        if (port_ == 0)
            erreur_ = QString::fromUtf8(processus_.readAllStandardError());
    }

    ~ServeurLocal()
    {
        processus_.terminate();
        if (!processus_.waitForFinished(3000)) {
            processus_.kill();
            processus_.waitForFinished(3000);
        }
    }

    bool pret() const { return port_ != 0; }
    int port() const { return port_; }
    QString erreur() const { return erreur_; }

    QString url(const QString& schema, const QString& chemin) const
    {
        return schema + QStringLiteral("://127.0.0.1:") + QString::number(port_) + chemin;
    }

    // The events the HTTP server logged, one a line.
    QStringList journal() const
    {
        QFile f(journal_);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    // Waits (bounded) until the journal holds ligne.
    bool attendre(const QString& ligne, int ms = 10000) const
    {
        QDeadlineTimer limite(ms);
        while (!journal().contains(ligne)) {
            if (limite.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

private:
    QTemporaryDir journaldir_;
    QString journal_;
    QProcess processus_;
    int port_ = 0;
    QString erreur_;
};

// A certificate of the test's own authority, for a TLS server on loopback
// (serveur_http.py --tls CERT CLE); false without openssl.
inline bool certificat(const QString& dossier, QString& cert, QString& cle)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return false;
    cert = dossier + QStringLiteral("/cert.pem");
    cle = dossier + QStringLiteral("/cle.pem");
    QProcess req;
    req.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", cle, "-out", cert, "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    return req.waitForFinished(60000) && req.exitCode() == 0;
}

class ServeurHttp : public ServeurLocal {
public:
    explicit ServeurHttp(const QString& dossier, QStringList autres = {})
        : ServeurLocal(QStringLiteral("serveur_http.py"), QStringList{QStringLiteral("--dossier"), dossier} + autres)
    {
    }
    QString url(const QString& chemin) const { return ServeurLocal::url(QStringLiteral("http"), chemin); }
};

class ServeurFtp : public ServeurLocal {
public:
    explicit ServeurFtp(const QString& dossier, QStringList autres = {})
        : ServeurLocal(QStringLiteral("serveur_ftp.py"), QStringList{QStringLiteral("--dossier"), dossier} + autres)
    {
    }
    QString url(const QString& chemin) const { return ServeurLocal::url(QStringLiteral("ftp"), chemin); }
};

} // namespace velorine::test

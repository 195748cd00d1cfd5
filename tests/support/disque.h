#pragma once
// A tiny file system for tests of a full disk: a tmpfs of the given size
// mounted on a folder, unmounted when the object goes. Mounting needs root;
// raison() tells why the test is skipped when it cannot be done.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <unistd.h>

namespace velorine::test {

class DisqueMinuscule {
public:
    DisqueMinuscule(const QString& dossier, const QString& taille) : dossier_(dossier)
    {
        const QString mount = QStandardPaths::findExecutable(QStringLiteral("mount"));
        if (::geteuid() != 0 || mount.isEmpty()) {
            raison_ = QStringLiteral("mounting a tmpfs needs root and mount(8)");
            return;
        }
        QProcess p;
        p.start(mount, {"-t", "tmpfs", "-o", "size=" + taille + ",mode=0755", "tmpfs", dossier});
        if (!p.waitForFinished(10000) || p.exitCode() != 0) {
            raison_ = QStringLiteral("cannot mount a tmpfs here: ") + QString::fromUtf8(p.readAllStandardError());
            return;
        }
        monte_ = true;
    }
    ~DisqueMinuscule()
    {
        if (monte_) {
            QProcess p;
            p.start(QStringLiteral("umount"), {"-l", dossier_});
            p.waitForFinished(10000);
        }
    }
    DisqueMinuscule(const DisqueMinuscule&) = delete;
    DisqueMinuscule& operator=(const DisqueMinuscule&) = delete;

    bool pret() const { return monte_; }
    QString raison() const { return raison_; }

private:
    QString dossier_;
    QString raison_;
    bool monte_ = false;
};

} // namespace velorine::test

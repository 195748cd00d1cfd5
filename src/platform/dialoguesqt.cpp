#include "platform/dialoguesqt.h"

#include <QApplication>
#include <QMessageBox>
#include <QAbstractButton>

namespace velorine {
namespace {

// The window the box must stay in front of: the modal dialog in use, or else
// the active window.
QWidget* fenetreactive()
{
    if (QWidget* modale = QApplication::activeModalWidget())
        return modale;
    return QApplication::activeWindow();
}

// Plain text buttons, without the icons some styles add.
void nommer(QMessageBox& boite, QMessageBox::StandardButton bouton, const QString& texte)
{
    QAbstractButton* b = boite.button(bouton);
    b->setText(texte);
    b->setIcon(QIcon());
}

QMessageBox::Icon icone(Icone i)
{
    switch (i) {
    case Icone::Erreur:
        return QMessageBox::Critical;
    case Icone::Information:
        return QMessageBox::Information;
    case Icone::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void DialoguesQt::message(Icone i, const QString& titre, const QString& texte)
{
    QMessageBox boite(icone(i), titre, texte, QMessageBox::Ok, fenetreactive());
    boite.setWindowModality(Qt::ApplicationModal);
    nommer(boite, QMessageBox::Ok, QStringLiteral("OK"));
    boite.exec();
}

bool DialoguesQt::question(const QString& titre, const QString& texte)
{
    QMessageBox boite(QMessageBox::Question, titre, texte, QMessageBox::Yes | QMessageBox::No, fenetreactive());
    boite.setWindowModality(Qt::ApplicationModal);
    nommer(boite, QMessageBox::Yes, QStringLiteral("Oui"));
    nommer(boite, QMessageBox::No, QStringLiteral("Non"));
    boite.setDefaultButton(QMessageBox::Yes);
    return boite.exec() == QMessageBox::Yes;
}

void DialoguesQt::bip()
{
    QApplication::beep();
}

} // namespace velorine

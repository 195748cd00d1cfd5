#pragma once
// Installation from an update file (*.maj).
//
// Record 1 of the update file is "MAJQZ"; each later record names a product
// file, relative to the folder that holds the update file, up to the first
// record that reads "FINI". Each named file is copied into the product
// folder, replacing the file of that name.

#include "records/etat.h"
#include "platform/services.h"

#include <QString>

namespace velorine {

// ficharge: the update file path as the picker's text box holds it.
// dossiersource: the folder the picker's file list shows.
//
// Ends in relancer() after the success message and after the "non valide"
// message. Returns, the picker staying open, when ficharge is blank and after
// a copy failure, which it has reported.
void installer(Etat& etat, Services& services, const QString& ficharge, const QString& dossiersource);

} // namespace velorine

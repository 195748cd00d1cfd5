#pragma once
// The product's two data files, shared with the product itself.
//
// TEMPO.QZS, the settings file: record 24 holds the current update level as
// decimal text. PARANET.LST, the network parameter file: record 7 holds the
// address of the update list. The updater reads exactly these two records and
// writes only record 24; every other byte belongs to the product.
//
// Each operation opens the file in the single slot, reads or writes one
// record and closes the slot again.

#include "records/fichierenreg.h"

#include <QString>
#include <cstdint>

namespace velorine::donnees {

inline const QString tempo = QStringLiteral("TEMPO.QZS");
inline const QString paranet = QStringLiteral("PARANET.LST");
inline const QString liste = QStringLiteral("LISTE.MAJ");
constexpr int enregniveau = 24;
constexpr int enregadresse = 7;

// Reads the level by the leading-number rule and converts it to 16 bits.
// Any failing step (open, read, conversion) throws Echec, leaving the slot as
// the step left it: the caller's failure block closes it.
std::int16_t lireniveau(Fente& fente, const QString& fichiertempo);

// The same reading with every step in ignore mode: a file that cannot be
// opened or read gives level 0, a number outside 16 bits leaves niveau as it
// was. Never fails.
void lireniveauignorer(Fente& fente, const QString& fichiertempo, std::int16_t& niveau);

// Reads the update-list address, verbatim. Throws Echec like lireniveau.
QString lireadresse(Fente& fente, const QString& cheminparanet);

// Rewrites record 24 with the level in the leading-blank form (level 5 is
// stored as " 5"). Throws Echec when the file cannot be opened for writing or
// the record cannot be written; the slot is closed in every case.
void ecrireniveau(Fente& fente, const QString& fichiertempo, std::int16_t niveau);

} // namespace velorine::donnees

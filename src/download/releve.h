#pragma once
// The survey of an update list before an update: which groups offer a level
// above the product's, and the highest level of the whole list. The update
// run and the check (--check) read a list by the same rule.

#include <QList>
#include <QStringList>
#include <cstdint>

namespace velorine {

struct Releve {
    std::int16_t plusrecents = 0; // how many groups offer a newer level
    std::int16_t nouveau = 0;     // the highest level of the list, 0 at least
    QList<int> groupes;           // index in the list of each newer group's level
};

// Surveys liste, in groups of three entries (level, address, file name) from
// index 0, against versionactuelle. Every step is in ignore mode: a level
// that cannot be read counts as the value read before it, v, which the caller
// passes in and gets back; a count or level beyond 16 bits stays as it was.
Releve relever(const QStringList& liste, std::int16_t versionactuelle, double& v);

} // namespace velorine

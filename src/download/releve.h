#pragma once
// The survey of an update list before an update: which groups offer a level
// above the product's, and the level the update would record. The update
// run and the check (--check) read a list by the same rules.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace velorine {

// The level of a group, read by the leading-number rule. A level that
// cannot be read (a number too large for a double) is no level at all: its
// group is not newer, in the survey as in the transfers, so the file
// counter never runs past its total.
std::optional<double> niveaude(const QString& entree);

struct Releve {
    std::int16_t plusrecents = 0; // how many groups offer a newer level
    // The level to record: the largest of the list, but never below the
    // current one and never negative; a list whose levels cannot be
    // recorded (above 16 bits) or lie below it leaves the current level, or
    // 0 when the current level is negative.
    std::int16_t nouveau = 0;
    // The highest level of the list that fits in 16 bits, if any.
    std::optional<std::int16_t> plushaut;
    QList<int> groupes; // index in the list of each newer group's level
};

// Surveys liste, in groups of three entries (level, address, file name) from
// index 0, against versionactuelle. Every step is in ignore mode: a count or
// level beyond 16 bits stays as it was.
Releve relever(const QStringList& liste, std::int16_t versionactuelle);

} // namespace velorine

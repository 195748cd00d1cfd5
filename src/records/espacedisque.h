#pragma once
// A fetch never fills the product's disk: a body of unknown (or lying)
// length stops before it would leave the file system almost full, where
// other programs and the product itself would start failing.

#include <QString>
#include <cstddef>

namespace velorine {

// The share of a file system a fetch always leaves free, in percent.
inline constexpr int resteminimum = 5;

// Throws Echec when writing nombre more bytes into the file system that
// holds dossier would leave less than resteminimum percent of it free to
// ordinary users. A file system whose size cannot be read is not checked.
void reserverespace(const QString& dossier, std::size_t nombre);

} // namespace velorine

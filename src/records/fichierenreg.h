#pragma once
// Record files and the single file slot.
//
// A record file is a sequence of 128-byte records numbered from 1, with no
// header. Record n starts at byte (n - 1) * 128 and holds one text: a 2-byte
// little-endian count L (at most 126), L bytes of Windows-1252 text, then
// padding that nothing reads.
//
// The updater has one file slot for all its data files. At any time it is
// closed, open as a record file, or open for binary writing. Every operation
// throws Echec on failure and never shows a message itself.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace velorine {

namespace enreg {
constexpr std::size_t taille = 128;               // bytes of one record
constexpr std::size_t entete = 2;                 // bytes of the length count
constexpr std::size_t textemax = taille - entete; // 126
constexpr int numeromax = 32767;                  // records addressable by a 16-bit number

// The text of record n from its first lus bytes (at most taille). No byte
// at all, a record at or past the end of its file, is the empty text; a
// damaged record (count over 126, or text running past the bytes) throws
// Echec.
QString texte(const char* octets, std::size_t lus, int n);
} // namespace enreg

class Fente {
public:
    Fente() = default;
    ~Fente();
    Fente(const Fente&) = delete;
    Fente& operator=(const Fente&) = delete;

    // Opens path as a record file, for reading and writing, or for reading
    // only when writing is refused. A missing file is created empty. Fails
    // when the slot is already open or the file cannot be opened or created,
    // and for anything that is not a regular file: a symbolic link is
    // neither followed nor created through.
    void ouvrirenreg(const QString& chemin);

    // The text of record n (1 to 32767). A record at or past the end of the
    // file reads as the empty text. A damaged record (count over 126, or text
    // running past the end of the file) is a read failure.
    QString lireenreg(int n);

    // Writes the whole record n. A record past the end of the file extends
    // it; the records skipped over are zero bytes and read as empty texts.
    // A text over 126 bytes in Windows-1252 is refused and nothing is written.
    void ecrireenreg(int n, const QString& texte);

    // Closes the slot. Closing a closed slot does nothing; never fails.
    void fermerfichier() noexcept;

    bool ouverte() const { return fd_ >= 0; }

private:
    enum class Mode { Fermee, Enreg, EnregLecture };
    void ecrireabsolu(const char* octets, std::size_t nombre, off_t position);

    int fd_ = -1;
    Mode mode_ = Mode::Fermee;
    bool ecrite_ = false;
    // Opened for reading only: the path and why writing was refused, for
    // the reason of a write.
    QString chemin_;
    int refus_ = 0;
};

// Deletes a file. Fails when it does not exist or cannot be deleted.
void effacerfichier(const QString& chemin);

} // namespace velorine

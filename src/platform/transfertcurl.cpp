#include "platform/transfertcurl.h"
#include "platform/interruption.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <fcntl.h>
#include <malloc.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velorine {
namespace {

using horloge = std::chrono::steady_clock;

// How long one turn waits for network activity before the pending events
// are handled: the longest a click waits during a transfer.
constexpr int attentems = 10;
// Progress is delivered at most this often (and once at the end).
constexpr auto intervalleprogression = std::chrono::milliseconds(100);
// Bytes libcurl reads at a time: large reads keep a fast local transfer
// cheap in system calls.
constexpr long tampon = 512 * 1024;
constexpr long redirectionsmax = 10;

// The connection states, by their names.
using enum EtatTransfert;

void initialiser()
{
    static std::once_flag fait;
    std::call_once(fait, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // libcurl takes a receive buffer (tampon) for each fetch and gives
        // it back at its end. Left to itself, the allocator hands such a
        // block back to the system each time and the next fetch faults its
        // pages in again: for thousands of small files, a tenth of the run.
        // Blocks of this size stay in the heap, and a few of them stay
        // there when freed.
        ::mallopt(M_MMAP_THRESHOLD, 2 * tampon);
        ::mallopt(M_TRIM_THRESHOLD, 8 * tampon);
    });
}

// The conventions of schools' networks, on top of the transfer's own
// options:
// - server authentication by whatever scheme the server offers (Basic,
//   Digest, NTLM, Negotiate), with the credentials of the address;
// - compressed bodies asked for, and any Content-Encoding decoded: the sink
//   always gets the file's own bytes, even from a server that compresses
//   unasked;
// - certificate authorities named by CURL_CA_BUNDLE, SSL_CERT_FILE and
//   SSL_CERT_DIR trusted on top of the system's store, never instead of it.
//   Verification stays on.
void reglerconventions(CURL* e)
{
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");

    // The system's bundle and the extra files, in one block: a block set
    // replaces the bundle libcurl would read. Read again only when the
    // variables change. A file named twice (an extra that is the system's
    // bundle itself, as many systems set) is read once, and a block that
    // would hold the system's bundle alone is not set: libcurl reads that
    // file itself, and keeps the store it made of it for later connections.
    // The block is lent to libcurl, not copied for each fetch: every block
    // made stays alive, as a handle may still point to an older one.
    const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
    const char* supplements[] = {std::getenv("CURL_CA_BUNDLE"), std::getenv("SSL_CERT_FILE")};
    QByteArray cle;
    for (const char* chemin : supplements)
        cle += QByteArray(chemin ? chemin : "") + '\0';
    static QByteArray clelue;
    static std::list<QByteArray> blocs; // the last one is in use; empty: none
    static bool avecbloc = false;
    if (cle != clelue) {
        clelue = cle;
        avecbloc = false;
        if (cle.size() > 2) {
            QByteArray autorites;
            QStringList lus;
            const auto ajouter = [&](const char* chemin) {
                if (!chemin || !*chemin)
                    return;
                const QString nom = QFile::decodeName(chemin);
                const QString canonique = QFileInfo(nom).canonicalFilePath();
                if (lus.contains(canonique.isEmpty() ? nom : canonique))
                    return;
                QFile f(nom);
                if (f.open(QIODevice::ReadOnly)) {
                    lus << (canonique.isEmpty() ? nom : canonique);
                    autorites += f.readAll();
                    autorites += '\n';
                }
            };
            ajouter(version->cainfo);
            const qsizetype systeme = lus.size();
            for (const char* chemin : supplements)
                ajouter(chemin);
            if (autorites.isEmpty())
                autorites = "\n"; // nothing readable: nothing trusted
            if (lus.size() > systeme || lus.isEmpty()) {
                blocs.push_back(autorites);
                avecbloc = true;
            }
        }
    }
    if (!avecbloc) {
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, nullptr);
    } else {
        curl_blob bloc{blocs.back().data(), static_cast<size_t>(blocs.back().size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &bloc);
    }
    // A folder of hashed certificates is read beside the bundle.
    const char* dossier = std::getenv("SSL_CERT_DIR");
    curl_easy_setopt(e, CURLOPT_CAPATH, dossier && *dossier ? dossier : version->capath);
}

struct LibererEasy {
    void operator()(CURL* e) const { curl_easy_cleanup(e); }
};
struct LibererMulti {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct LibererUrl {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// The address as libcurl takes it. Blanks and control characters at either
// end are dropped, as browsers drop them (a list address is kept as it was
// typed); a blank inside stands for %20, as browsers take it.
QByteArray adressecurl(const QString& adresse)
{
    qsizetype debut = 0;
    qsizetype fin = adresse.size();
    while (debut < fin && adresse[debut].unicode() <= u' ')
        ++debut;
    while (fin > debut && adresse[fin - 1].unicode() <= u' ')
        --fin;
    return adresse.mid(debut, fin - debut).replace(u' ', QStringLiteral("%20")).toUtf8();
}

// The scheme of an address in lower case, guessed as libcurl guesses it when
// the address names none, and its decoded path. Both are empty when libcurl
// cannot read the address (it then fails the fetch itself).
struct Adresse {
    std::string schema;
    std::string chemin;
};
Adresse analyseradresse(const QByteArray& url)
{
    Adresse a;
    std::unique_ptr<CURLU, LibererUrl> u(curl_url());
    if (!u
        || curl_url_set(u.get(), CURLUPART_URL, url.constData(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME)
               != CURLUE_OK)
        return a;
    char* texte = nullptr;
    if (curl_url_get(u.get(), CURLUPART_SCHEME, &texte, 0) == CURLUE_OK) {
        a.schema = QByteArray(texte).toLower().toStdString();
        curl_free(texte);
    }
    texte = nullptr;
    if (curl_url_get(u.get(), CURLUPART_PATH, &texte, CURLU_URLDECODE) == CURLUE_OK) {
        a.chemin = texte;
        curl_free(texte);
    }
    return a;
}

// Where a redirect may lead: never from https to a scheme without
// encryption, never to a local file.
const char* redirectionspermises(const std::string& schema)
{
    return schema == "https" ? "https" : "http,https,ftp";
}

// Opens the local file of a file: address. The open never blocks (on a FIFO
// it would wait for a writer for ever), and only a regular file is taken: a
// device such as /dev/zero has no end. Throws Echec.
int ouvrirlocal(const std::string& chemin)
{
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        throw EchecAbsent("ouverture de " + chemin + ": " + std::strerror(errno));
    if (fd < 0)
        throw Echec("ouverture de " + chemin + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Echec("pas un fichier ordinaire: " + chemin);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// An entity tag as HTTP writes it: "…" or W/"…", visible characters only,
// of a sane length. Anything else from a server is no entity tag.
bool etagvalide(const QByteArray& etag)
{
    if (etag.size() > 258)
        return false;
    const QByteArray opaque = etag.startsWith("W/") ? etag.mid(2) : etag;
    if (opaque.size() < 2 || !opaque.startsWith('"') || !opaque.endsWith('"'))
        return false;
    for (qsizetype i = 1; i + 1 < opaque.size(); ++i) {
        const auto c = static_cast<unsigned char>(opaque[i]);
        if (c == '"' || c < 0x21 || c == 0x7f)
            return false;
    }
    return true;
}

// Whether an answer's validators recu name the same file as those recorded
// with the start of it (si): by a strong entity tag when one was recorded,
// otherwise by the modification date. An answer that names it by neither
// does not.
bool memefichier(const Validateurs& si, const Validateurs& recu)
{
    if (etagvalide(si.etag) && !si.etag.startsWith("W/"))
        return recu.etag == si.etag;
    return si.datemodif >= 0 && recu.datemodif == si.datemodif;
}

// A decimal number of at most 18 digits, nothing else; -1 otherwise.
long long nombrestrict(const QByteArray& texte)
{
    if (texte.isEmpty() || texte.size() > 18)
        return -1;
    long long n = 0;
    for (const char c : texte) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// A Content-Range of one part, "bytes FIRST-LAST/TOTAL" exactly, with
// FIRST <= LAST < TOTAL. False for anything else (an unknown total, a
// list of parts, a refusal "bytes */TOTAL").
struct Plage {
    long long premier = -1;
    long long dernier = -1;
    long long total = -1;
};
bool lireplage(const QByteArray& valeur, Plage& p)
{
    if (!valeur.startsWith("bytes "))
        return false;
    const QByteArray reste = valeur.mid(6);
    const qsizetype tiret = reste.indexOf('-');
    const qsizetype barre = reste.indexOf('/');
    if (tiret < 0 || barre < tiret)
        return false;
    p.premier = nombrestrict(reste.left(tiret));
    p.dernier = nombrestrict(reste.mid(tiret + 1, barre - tiret - 1));
    p.total = nombrestrict(reste.mid(barre + 1));
    return p.premier >= 0 && p.dernier >= p.premier && p.total > p.dernier;
}

// An HTTP date (IMF-fixdate), written without the locale's help.
QByteArray datehttp(long long secondes)
{
    static const char* const jours[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const mois[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto t = static_cast<time_t>(secondes);
    struct tm tm {};
    if (!::gmtime_r(&t, &tm))
        return {};
    char texte[64];
    std::snprintf(texte, sizeof texte, "%s, %02d %s %04d %02d:%02d:%02d GMT", jours[tm.tm_wday], tm.tm_mday,
                  mois[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return texte;
}

struct LibererListe {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

// One fetch. The libcurl callbacks only record what happened here; the
// fetch loop delivers it.
struct TransfertCurl::Session {
    Session(Puits& p, SuiviTransfert* t, Poignees& h) : puits(p), suivi(t), poignees(h) {}
    ~Session();

    Puits& puits;
    // Who is told of the states and bytes: nobody while the fetch runs
    // ahead of its turn (they wait here).
    SuiviTransfert* suivi;
    Poignees& poignees;
    QString adresse;
    Provenance provenance = Provenance::Liste;
    QByteArray serveur; // scheme, host and port
    std::unique_ptr<CURL, LibererEasy> poignee;
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    bool ajoute = false;
    char erreurcurl[CURL_ERROR_SIZE] = {};

    std::vector<EtatTransfert> etatsenattente;
    EtatTransfert plushaut = Aucun;    // highest state recorded
    EtatTransfert dernieretat = Aucun; // highest state delivered
    bool prealablevu = false;
    bool entetevue = false;
    bool corpsvu = false;

    long long recus = 0;
    long long total = -1;
    long long recuslivres = -1;
    long long totallivre = -2;
    horloge::time_point derniereprogression{};

    bool annule = false;
    bool delaidepasse = false;
    bool arrete = false; // a stop signal came: the fetch fails
    horloge::time_point dernieractivite = horloge::now();

    bool puitsenechec = false;
    std::string raisonpuits;

    bool fini = false;
    CURLcode resultat = CURLE_OK;

    int fdlocal = -1;      // the local file of a file: address
    long long ecrits = 0;  // bytes handed to the sink
    bool troplong = false; // more bytes than announced
    bool decode = false;   // a Content-Encoding: the sink gets more than announced
    long statutrefuse = 0; // an HTTP status whose body is not the file

    // What the sink asked, and what was asked of the server for it.
    Requete requete;
    std::unique_ptr<curl_slist, LibererListe> entetes; // the request's own headers
    long long suitedemandee = 0;                       // Range or FTP restart from this byte; 0: none
    bool repriseftp = false;                           // the FTP restart was set
    // What the current response's headers said (a redirect or a challenge
    // starts a new response).
    QByteArray etagvu;
    bool plagesvues = false;
    QByteArray plagevue; // its Content-Range
    // The response is read: the validators were told, and the sink keeps
    // decalage bytes it already held (the part asked for was sent).
    bool decide = false;
    long long decalage = 0;
    bool plagerefusee = false;  // a partial answer that is not the part asked for
    bool refaireentier = false; // not the file the sink holds the start of
    bool inchangeftp = false;   // FTP: the file is the one the sink named

    // Reads the answer, before its first byte goes to the sink (or at its
    // end, for an empty body): tells the sink the server's validators, and
    // whether the part asked for comes or the whole file. False when the
    // transfer must stop here.
    bool decider();

    // Ends the fetch in the session. The connection of a fetch that did not
    // complete is closed, never handed to a later fetch; no callback is left
    // pointing at this fetch.
    void retirer(bool garder)
    {
        if (!ajoute)
            return;
        ajoute = false;
        if (!garder)
            curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl_multi_remove_handle(multi, easy);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 0L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, nullptr);
        for (const CURLoption donnees :
             {CURLOPT_RESOLVER_START_DATA, CURLOPT_OPENSOCKETDATA, CURLOPT_SOCKOPTDATA, CURLOPT_PREREQDATA,
              CURLOPT_HEADERDATA, CURLOPT_WRITEDATA, CURLOPT_XFERINFODATA})
            curl_easy_setopt(easy, donnees, nullptr);
        curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, nullptr);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    }

    // A host whose address the session knows, or a connection of the
    // session reused: the status line still passes through the states that
    // lead to etat.
    void combler(EtatTransfert etat)
    {
        for (int avant = static_cast<int>(Recherche); avant < static_cast<int>(etat); ++avant)
            if (plushaut < static_cast<EtatTransfert>(avant))
                signaler(static_cast<EtatTransfert>(avant));
    }

    void signaler(EtatTransfert etat)
    {
        etatsenattente.push_back(etat);
        if (etat > plushaut)
            plushaut = etat;
        dernieractivite = horloge::now();
    }

    // Delivers the states reached and the progress, in order, on this
    // thread. Only states beyond the last one delivered are shown: the data
    // connection of ftp and the hops of a redirect look the host up again.
    void livrer(bool final)
    {
        if (!suivi)
            return;
        for (const EtatTransfert etat : etatsenattente) {
            if (annule)
                break;
            if (etat <= dernieretat)
                continue;
            dernieretat = etat;
            suivi->etatchange(etat);
        }
        etatsenattente.clear();

        // A part counts from the bytes the sink already held: the progress
        // is the whole file's.
        curl_off_t annonce = -1;
        if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &annonce) == CURLE_OK)
            total = annonce >= 0 ? decalage + annonce : -1;
        const long long vus = decalage + recus;
        const auto maintenant = horloge::now();
        if (!annule && corpsvu && (vus != recuslivres || total != totallivre)
            && (final || maintenant - derniereprogression >= intervalleprogression)) {
            recuslivres = vus;
            totallivre = total;
            derniereprogression = maintenant;
            suivi->progression(vus, total);
        }
    }

    // libcurl callbacks: they never throw and never run code of the caller,
    // apart from the sink.
    static int debutrecherche(void*, void*, void* s)
    {
        static_cast<Session*>(s)->signaler(Recherche);
        return 0;
    }
    static curl_socket_t ouvrirsocket(void* s, curlsocktype, curl_sockaddr* adresse)
    {
        static_cast<Session*>(s)->combler(HoteTrouve);
        static_cast<Session*>(s)->signaler(HoteTrouve);
        return ::socket(adresse->family, adresse->socktype | SOCK_CLOEXEC, adresse->protocol);
    }
    static int optionssocket(void* s, curl_socket_t, curlsocktype)
    {
        static_cast<Session*>(s)->combler(Connexion);
        static_cast<Session*>(s)->signaler(Connexion);
        return CURL_SOCKOPT_OK;
    }
    static int prealable(void* s, char*, char*, int, int)
    {
        auto* session = static_cast<Session*>(s);
        session->combler(Connecte);
        session->prealablevu = true;
        session->signaler(Connecte);
        session->signaler(Demande);
        return CURL_PREREQFUNC_OK;
    }
    static size_t entete(char* ligne, size_t taille, size_t nombre, void* s)
    {
        auto* session = static_cast<Session*>(s);
        session->dernieractivite = horloge::now();
        // Headers are the server's: only lines of a sane length are read.
        const size_t longueur = taille * nombre;
        if (longueur <= 1024) {
            const QByteArray brut = QByteArray(ligne, static_cast<qsizetype>(longueur)).trimmed();
            const QByteArray texte = brut.toLower();
            if (texte.startsWith("http/")) {
                // A new response: a redirect's or a challenge's headers say
                // nothing of the file.
                session->decode = false;
                session->etagvu.clear();
                session->plagesvues = false;
                session->plagevue.clear();
            }
            const qsizetype deuxpoints = brut.indexOf(':');
            const QByteArray nom = deuxpoints > 0 ? texte.left(deuxpoints) : QByteArray();
            const QByteArray valeur = deuxpoints > 0 ? brut.mid(deuxpoints + 1).trimmed() : QByteArray();
            if (nom == "content-encoding" && valeur.toLower() != "identity")
                session->decode = true;
            else if (nom == "etag")
                session->etagvu = etagvalide(valeur) ? valeur : QByteArray();
            else if (nom == "accept-ranges")
                session->plagesvues = valeur.toLower().replace(' ', "").split(',').contains("bytes");
            else if (nom == "content-range")
                session->plagevue = valeur;
        }
        // Before the connection is ready, ftp's greeting and login replies
        // come here too: they are not the response yet.
        if (session->prealablevu && !session->entetevue) {
            session->entetevue = true;
            session->signaler(DemandeEnvoyee);
            session->signaler(Reponse);
        }
        return longueur;
    }
    static size_t ecrire(char* octets, size_t taille, size_t nombre, void* s)
    {
        auto* session = static_cast<Session*>(s);
        const size_t n = taille * nombre;
        if (session->annule || session->delaidepasse)
            return CURL_WRITEFUNC_ERROR;
        if (!session->corpsvu) {
            session->corpsvu = true;
            session->signaler(Reception);
        }
        // Only the body of a 2xx answer is the file: a redirect without a
        // destination brings an HTML page of its own.
        long code = 0;
        const char* protocole = nullptr;
        if (curl_easy_getinfo(session->easy, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK
            && curl_easy_getinfo(session->easy, CURLINFO_SCHEME, &protocole) == CURLE_OK && protocole
            && (protocole[0] == 'h' || protocole[0] == 'H') && (code < 200 || code > 299)) {
            session->statutrefuse = code;
            return CURL_WRITEFUNC_ERROR;
        }
        if (!session->decide && !session->decider())
            return CURL_WRITEFUNC_ERROR;
        // A body longer than its announced length is not the file. (Over
        // HTTP libcurl itself stops reading at the announced length; a
        // decoded body is longer than the encoded one announced.)
        curl_off_t annonce = -1;
        session->ecrits += static_cast<long long>(n);
        if (!session->decode
            && curl_easy_getinfo(session->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &annonce) == CURLE_OK
            && annonce >= 0 && session->ecrits > annonce) {
            session->troplong = true;
            return CURL_WRITEFUNC_ERROR;
        }
        try {
            session->puits.ecrire(octets, n);
        } catch (const std::exception& e) {
            session->puitsenechec = true;
            session->raisonpuits = e.what();
            return CURL_WRITEFUNC_ERROR;
        } catch (...) {
            session->puitsenechec = true;
            session->raisonpuits = "échec du puits";
            return CURL_WRITEFUNC_ERROR;
        }
        return n;
    }
    static int progres(void* s, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t)
    {
        auto* session = static_cast<Session*>(s);
        if (dlnow != session->recus) {
            session->recus = dlnow;
            session->dernieractivite = horloge::now();
        }
        (void)dltotal;
        return session->annule || session->delaidepasse ? 1 : 0;
    }
};

// The handles of the session: one easy handle, reused fetch after fetch (it
// keeps the authentication scheme a proxy asked for), in one multi handle
// that keeps the connections, TLS sessions, certificate store and DNS
// answers.
struct TransfertCurl::Poignees {
    std::unique_ptr<CURLM, LibererMulti> multi{curl_multi_init()};
    // Easy handles between two fetches. Declared last: cleaned first.
    std::vector<std::unique_ptr<CURL, LibererEasy>> libres;

    std::unique_ptr<CURL, LibererEasy> prendre()
    {
        if (libres.empty())
            return std::unique_ptr<CURL, LibererEasy>(curl_easy_init());
        auto e = std::move(libres.back());
        libres.pop_back();
        return e;
    }
};

bool TransfertCurl::Session::decider()
{
    decide = true;
    long code = 0;
    const char* protocole = nullptr;
    curl_off_t annonce = -1;
    curl_off_t date = -1;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_getinfo(easy, CURLINFO_SCHEME, &protocole);
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &annonce);
    curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &date);
    const QByteArray schema = QByteArray(protocole ? protocole : "").toLower();

    Validateurs v;
    v.datemodif = date >= 0 ? static_cast<long long>(date) : -1;
    if (schema.startsWith("http")) {
        v.etag = etagvu;
        if (code == 206) {
            // Only the very part asked for is taken: from the byte asked,
            // to the end of a file whose length agrees with the part's.
            Plage p;
            if (suitedemandee <= 0 || decode || !lireplage(plagevue, p) || p.premier != suitedemandee
                || p.dernier != p.total - 1 || (annonce >= 0 && annonce != p.dernier - p.premier + 1)) {
                plagerefusee = true;
                return false;
            }
            // The part is the rest of the file whose start the sink holds
            // only when this answer names that file as the record does: by
            // its strong tag, else its date. A server that ignores If-Range
            // sends the rest of whatever it holds now; and a date unchanged
            // with another length is a file changed within the second. The
            // file is then fetched whole, never spliced.
            if (!memefichier(requete.si, v) || (requete.si.longueur >= 0 && p.total != requete.si.longueur)) {
                refaireentier = true;
                return false;
            }
            decalage = p.premier;
            v.longueur = p.total;
            v.plages = true;
        } else {
            // A compressed body: its length and its ranges are not the file's.
            v.longueur = decode ? -1 : static_cast<long long>(annonce);
            v.plages = plagesvues && !decode;
        }
    } else if (schema == "ftp") {
        v.plages = true;
        if (repriseftp) {
            // The server gave no date, or another: not the file whose start
            // the sink holds.
            if (v.datemodif < 0 || v.datemodif != requete.si.datemodif) {
                refaireentier = true;
                return false;
            }
            decalage = suitedemandee;
        }
        v.longueur = annonce >= 0 ? decalage + static_cast<long long>(annonce) : -1;
        if (requete.sichange && requete.si.datemodif >= 0 && v.datemodif == requete.si.datemodif
            && (requete.si.longueur < 0 || requete.si.longueur == v.longueur)) {
            // No body is wanted: the transfer stops here and the sink is
            // told inchange() at its end.
            inchangeftp = true;
        }
    } else {
        v.longueur = annonce;
    }
    try {
        // The whole file comes instead of the rest: the sink starts over.
        if (requete.debut > 0 && decalage == 0 && !inchangeftp)
            puits.recommencer();
        puits.validateurs(v);
        if (inchangeftp)
            return false;
    } catch (const std::exception& e) {
        puitsenechec = true;
        raisonpuits = e.what();
        return false;
    } catch (...) {
        puitsenechec = true;
        raisonpuits = "échec du puits";
        return false;
    }
    return true;
}

TransfertCurl::Session::~Session()
{
    retirer(false);
    // The handle outlives this fetch's headers.
    if (easy)
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    if (fdlocal >= 0)
        ::close(fdlocal);
    if (poignee)
        poignees.libres.push_back(std::move(poignee));
}

TransfertCurl::TransfertCurl(int delai) : delai_(delai)
{
    initialiser();
}

TransfertCurl::~TransfertCurl()
{
    anticipes_.clear();
}

void TransfertCurl::definirparallele(int n)
{
    parallele_ = n > 1 ? n : 1;
}

void TransfertCurl::anticiper(const QString& adresse, Provenance provenance, Puits& puits)
{
    if (parallele_ <= 1 || encours_)
        return;
    try {
        auto s = std::make_unique<Session>(puits, nullptr, poignees());
        configurer(*s, adresse, provenance);
        if (unaparun_.contains(s->serveur))
            return;
        anticipes_.push_back(std::move(s));
    } catch (...) {
        // Fetched at its turn instead.
    }
}

void TransfertCurl::oublier()
{
    anticipes_.clear();
}

TransfertCurl::Poignees& TransfertCurl::poignees()
{
    if (!poignees_)
        poignees_ = std::make_unique<Poignees>();
    if (!poignees_->multi) {
        poignees_.reset();
        throw Echec("libcurl indisponible");
    }
    return *poignees_;
}

void TransfertCurl::definirdelai(int secondes)
{
    delai_ = secondes > 0 ? secondes : 1;
}

void TransfertCurl::annuler()
{
    if (encours_)
        encours_->annule = true;
    for (const auto& s : anticipes_)
        s->annule = true;
}

void TransfertCurl::ouvrirurl(const QString& adresse, Provenance provenance, Puits& puits, SuiviTransfert& suivi)
{
    if (encours_)
        throw Echec("un transfert est déjà en cours");
    if (arretdemande() != 0)
        throw Echec("arrêté par le signal " + std::to_string(arretdemande()));

    // The fetch ahead into this sink, taken over; one that failed is
    // started again, as a one-at-a-time run would fetch it, and its server
    // gets no more fetches ahead.
    std::unique_ptr<Session> propre;
    for (auto it = anticipes_.begin(); it != anticipes_.end(); ++it) {
        if (&(*it)->puits != &puits)
            continue;
        const bool meme = (*it)->adresse == adresse && (*it)->provenance == provenance;
        if (meme)
            propre = std::move(*it);
        anticipes_.erase(it);
        if (!meme)
            puits.recommencer();
        break;
    }
    // A file that is no longer the one whose start the sink holds (FTP: its
    // date; a part of another length) is fetched whole.
    const auto achanger = [](const Session& s) {
        return s.fini && !s.annule && !s.puitsenechec
               && (s.refaireentier || (s.repriseftp && s.resultat == CURLE_BAD_DOWNLOAD_RESUME));
    };
    bool entier = false;
    if (propre && achanger(*propre)) {
        propre.reset();
        puits.recommencer();
        entier = true;
    } else if (propre && (propre->annule || propre->puitsenechec || (propre->fini && propre->resultat != CURLE_OK))) {
        unaparun_.insert(propre->serveur);
        propre.reset();
        puits.recommencer();
    }
    if (!propre)
        propre = std::make_unique<Session>(puits, nullptr, poignees());
    propre->suivi = &suivi;
    // The no-progress time-out counts from the fetch's turn.
    propre->dernieractivite = horloge::now();
    encours_ = propre.get();
    struct Fin {
        Session*& encours;
        ~Fin() { encours = nullptr; }
    } fin{encours_};

    try {
        if (!propre->ajoute)
            configurer(*propre, adresse, provenance, entier);
        pomper(*propre);
        if (achanger(*propre)) {
            auto entiere = std::make_unique<Session>(puits, &suivi, poignees());
            entiere->dernieretat = propre->dernieretat;
            propre = std::move(entiere);
            encours_ = propre.get();
            puits.recommencer();
            configurer(*propre, adresse, provenance, true);
            pomper(*propre);
        }
        // Refused while fetches ahead ran on the same server (a server that
        // limits each client's connections): that server's fetches ahead
        // stop, and this fetch is made again alone, as a one-at-a-time run
        // makes it.
        // The server may not have seen those connections closed yet: a
        // refusal again is given a moment, twice at most.
        const auto echoue = [&] {
            return propre->fini && propre->resultat != CURLE_OK && !propre->annule && !propre->puitsenechec;
        };
        if (echoue() && arreteranticipes(propre->serveur)) {
            for (int essai = 0; essai < 3; ++essai) {
                if (essai > 0 && !(echoue() && refus(*propre)))
                    break;
                if (essai > 0 && !patienter(*propre, std::chrono::milliseconds(150 * essai)))
                    break;
                auto reprise = std::make_unique<Session>(puits, &suivi, poignees());
                reprise->dernieretat = propre->dernieretat;
                propre = std::move(reprise);
                encours_ = propre.get();
                puits.recommencer();
                configurer(*propre, adresse, provenance);
                pomper(*propre);
            }
        }
        terminer(*propre);
    } catch (const Echec& e) {
        // Cancelled: the fetches ahead stop too.
        if (propre->annule)
            anticipes_.clear();
        if (bavard_)
            raconter(*propre, adresse, e.what());
        throw;
    }
    if (bavard_)
        raconter(*propre, adresse, nullptr);
}

// A server refusing a connection: FTP's 421 (which libcurl reports as a
// time-out), a connection refused, reset or closed before any reply.
bool TransfertCurl::refus(const Session& s)
{
    long code = 0;
    curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &code);
    switch (s.resultat) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return !s.corpsvu;
    default:
        return code == 421 || code == 429 || code == 503;
    }
}

// Waits, the events served, unless the fetch is cancelled meanwhile.
bool TransfertCurl::patienter(Session& s, std::chrono::milliseconds duree) const
{
    const auto fin = horloge::now() + duree;
    while (horloge::now() < fin) {
        curl_multi_poll(s.multi, nullptr, 0, attentems, nullptr);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (s.annule)
            return false;
    }
    return true;
}

// Stops the fetches ahead from serveur, their sinks emptied (they are
// fetched at their turn), and fetches no more ahead from it. Tells whether
// there were any.
bool TransfertCurl::arreteranticipes(const QByteArray& serveur)
{
    bool arretes = false;
    for (auto it = anticipes_.begin(); it != anticipes_.end();) {
        if ((*it)->serveur != serveur) {
            ++it;
            continue;
        }
        Puits& puits = (*it)->puits;
        it = anticipes_.erase(it);
        puits.recommencer();
        arretes = true;
    }
    if (arretes)
        unaparun_.insert(serveur);
    return arretes;
}

// The fetch's line for the administrator, from what libcurl measured.
void TransfertCurl::raconter(const Session& s, const QString& adresse, const char* echec) const
{
    QStringList details;
    if (s.easy) {
        long code = 0;
        long version = 0;
        long connexions = 0;
        const char* protocole = nullptr;
        curl_off_t octets = 0;
        curl_off_t duree = 0;
        curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(s.easy, CURLINFO_HTTP_VERSION, &version);
        curl_easy_getinfo(s.easy, CURLINFO_NUM_CONNECTS, &connexions);
        curl_easy_getinfo(s.easy, CURLINFO_SCHEME, &protocole);
        curl_easy_getinfo(s.easy, CURLINFO_SIZE_DOWNLOAD_T, &octets);
        curl_easy_getinfo(s.easy, CURLINFO_TOTAL_TIME_T, &duree);
        const QByteArray schema = QByteArray(protocole ? protocole : "").toUpper();
        if (code != 0 && schema.startsWith("HTTP")) {
            const char* versions[] = {"HTTP", "HTTP/1.0", "HTTP/1.1", "HTTP/2", "HTTP/3"};
            const bool connue = version >= 0 && version < 5;
            details << QStringLiteral("%1 %2").arg(QLatin1String(connue ? versions[version] : "HTTP")).arg(code);
        } else if (code != 0) {
            details << QStringLiteral("%1 %2").arg(QLatin1String(schema)).arg(code);
        }
        details << QStringLiteral("%1 octets").arg(octets)
                << QStringLiteral("%1 s").arg(static_cast<double>(duree) / 1e6, 0, 'f', 3);
        // An FTP fetch opens its own data connection, which libcurl counts:
        // the connection reused, or not, is the control connection (the
        // login). Through an HTTP proxy there is no data connection.
        const long donnees = schema == "FTP" && version == 0 ? 1 : 0;
        if ((code != 0 || octets > 0) && schema != "FILE")
            details << (connexions <= donnees ? QStringLiteral("connexion réutilisée")
                                              : QStringLiteral("nouvelle connexion"));
    }
    // A list's address never writes control characters to the terminal,
    // nor its password to a log.
    QString ligne = QStringLiteral("velorine-maj: ") + adressemontree(adresse) + QStringLiteral(": ");
    if (echec)
        ligne += QStringLiteral("échec : ") + QString::fromUtf8(echec)
                 + (details.isEmpty() ? QString() : QStringLiteral(" (") + details.join(QStringLiteral(", ")) + u')');
    else
        ligne += details.join(QStringLiteral(", "));
    std::fprintf(stderr, "%s\n", ligne.toUtf8().constData());
    std::fflush(stderr);
}

// The session's easy handle, given the fetch's options and callbacks, in
// the session's multi handle.
void TransfertCurl::configurer(Session& s, const QString& adresse, Provenance provenance, bool entier)
{
    s.poignee = s.poignees.prendre();
    if (!s.poignee)
        throw Echec("libcurl indisponible");
    s.easy = s.poignee.get();
    s.multi = s.poignees.multi.get();
    s.adresse = adresse;
    s.provenance = provenance;

    QByteArray url = adressecurl(adresse);
    const Adresse lue = analyseradresse(url);
    // A local file is read through the descriptor opened here, so that
    // libcurl reads the very file that was checked.
    const bool fichierslocaux = provenance == Provenance::Reglages;
    if (fichierslocaux && lue.schema == "file") {
        try {
            s.fdlocal = ouvrirlocal(lue.chemin);
        } catch (const Echec&) {
            if (s.suivi)
                s.suivi->etatchange(EtatTransfert::Erreur);
            throw;
        }
        url = "file:///proc/self/fd/" + QByteArray::number(s.fdlocal);
    }
    const auto delaims = static_cast<long>(delai_) * 1000L;
    CURL* e = s.easy;
    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &s);
    {
        CURLU* u = curl_url();
        char* schema = nullptr;
        char* hote = nullptr;
        char* port = nullptr;
        if (u && curl_url_set(u, CURLUPART_URL, url.constData(), CURLU_DEFAULT_SCHEME) == CURLUE_OK) {
            curl_url_get(u, CURLUPART_SCHEME, &schema, 0);
            curl_url_get(u, CURLUPART_HOST, &hote, 0);
            curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT);
        }
        s.serveur = QByteArray(schema ? schema : "") + "://" + (hote ? hote : "") + ':' + (port ? port : "");
        curl_free(schema);
        curl_free(hote);
        curl_free(port);
        curl_url_cleanup(u);
    }
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, fichierslocaux ? "http,https,ftp,file" : "http,https,ftp");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, redirectionspermises(lue.schema));
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, redirectionsmax);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, delaims);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, tampon);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "velorine-maj/" VELORINE_VERSION);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.erreurcurl);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    reglerconventions(e);
    demander(s, lue.schema, entier);

    curl_easy_setopt(e, CURLOPT_RESOLVER_START_FUNCTION, &Session::debutrecherche);
    curl_easy_setopt(e, CURLOPT_RESOLVER_START_DATA, &s);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &Session::ouvrirsocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &s);
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &Session::optionssocket);
    curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, &s);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Session::prealable);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &s);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Session::entete);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Session::ecrire);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Session::progres);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &s);

    if (curl_multi_add_handle(s.multi, e) != CURLM_OK)
        throw Echec("libcurl indisponible");
    s.ajoute = true;
}

// What the sink asks, as the server's protocol asks it: the rest of a file
// still the same (HTTP Range with If-Range; FTP a restart, its date checked
// at the first byte), or the file only when it changed (If-None-Match,
// If-Modified-Since; FTP its date and length, checked at the first byte).
// Every such option is set on each fetch: the handle serves the next one.
void TransfertCurl::demander(Session& s, const std::string& schema, bool entier)
{
    s.requete = entier ? Requete{} : s.puits.requete();
    s.suitedemandee = 0;
    s.repriseftp = false;
    s.entetes.reset();
    const Requete& r = s.requete;
    const bool http = schema == "http" || schema == "https";
    const auto ajouter = [&](const QByteArray& ligne) {
        curl_slist* liste = curl_slist_append(s.entetes.get(), ligne.constData());
        if (liste) {
            (void)s.entetes.release();
            s.entetes.reset(liste);
        }
    };
    // Validators come back from a record on disk: only well-formed ones are
    // sent.
    const QByteArray etag = etagvalide(r.si.etag) ? r.si.etag : QByteArray();
    const QByteArray date = r.si.datemodif >= 0 ? datehttp(r.si.datemodif) : QByteArray();
    if (http && r.debut > 0) {
        // A weak tag cannot vouch for a part: the date does then.
        const QByteArray si = !etag.isEmpty() && !etag.startsWith("W/") ? etag : date;
        if (!si.isEmpty()) {
            ajouter("Range: bytes=" + QByteArray::number(r.debut) + '-');
            ajouter("If-Range: " + si);
            s.suitedemandee = r.debut;
        }
    }
    if (http && r.sichange) {
        if (!etag.isEmpty())
            ajouter("If-None-Match: " + etag);
        if (!date.isEmpty())
            ajouter("If-Modified-Since: " + date);
    }
    if (schema == "ftp" && r.debut > 0 && r.si.datemodif >= 0) {
        s.suitedemandee = r.debut;
        s.repriseftp = true;
    }
    curl_easy_setopt(s.easy, CURLOPT_HTTPHEADER, s.entetes.get());
    curl_easy_setopt(s.easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(schema == "ftp" ? s.suitedemandee : 0));
    curl_easy_setopt(s.easy, CURLOPT_FILETIME, 1L);
}

// Turns the transfer until it ends, is cancelled or goes too long without
// progress, handling the pending events between two turns.
void TransfertCurl::pomper(Session& s) const
{
    CURL* e = s.easy;
    const auto delai = std::chrono::seconds(delai_);
    while (!s.fini) {
        int actifs = 0;
        if (curl_multi_perform(s.multi, &actifs) != CURLM_OK)
            throw Echec("libcurl: échec du transfert");

        // The request is on its way once libcurl has timed the start of the
        // transfer.
        curl_off_t pretransfert = 0;
        if (s.plushaut >= Connecte && s.plushaut < DemandeEnvoyee
            && curl_easy_getinfo(e, CURLINFO_PRETRANSFER_TIME_T, &pretransfert) == CURLE_OK && pretransfert > 0)
            s.signaler(DemandeEnvoyee);

        int restants = 0;
        while (CURLMsg* message = curl_multi_info_read(s.multi, &restants)) {
            // This fetch's end, or a fetch ahead's.
            Session* fin = nullptr;
            if (message->msg == CURLMSG_DONE
                && curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &fin) == CURLE_OK && fin) {
                fin->resultat = message->data.result;
                fin->fini = true;
            }
        }
        if (s.fini)
            break;

        s.livrer(false);
        if (s.annule)
            break;
        if (arretdemande() != 0) {
            s.arrete = true;
            break;
        }
        if (horloge::now() - s.dernieractivite >= delai) {
            s.delaidepasse = true;
            break;
        }

        if (curl_multi_poll(s.multi, nullptr, 0, attentems, nullptr) != CURLM_OK)
            throw Echec("libcurl: échec de l'attente");
        // The user's clicks, repaints and close requests; annuler() may run
        // here.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (s.annule)
            break;
    }
}

// The outcome: the closing states of a complete fetch, or the error state
// and the reason of a failed one.
void TransfertCurl::terminer(Session& s) const
{
    CURL* e = s.easy;
    CURLcode resultat = s.resultat;
    if (s.annule)
        throw Echec("annulé");
    if (s.arrete)
        throw Echec("arrêté par le signal " + std::to_string(arretdemande()));

    // An FTP file found unchanged was stopped at its first byte.
    if (s.fini && (resultat == CURLE_OK || s.inchangeftp) && !s.puitsenechec) {
        long code = 0;
        const char* protocole = nullptr;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(e, CURLINFO_SCHEME, &protocole);
        const bool http = protocole && QByteArray(protocole).toLower().startsWith("http");
        const bool nonmodifie = http && code == 304 && s.requete.sichange;
        // Only a 2xx status brings the file: a redirect without a
        // destination, an unasked 304 or an error page is not it.
        if (http && !nonmodifie && (code < 200 || code > 299)) {
            resultat = CURLE_HTTP_RETURNED_ERROR;
            std::snprintf(s.erreurcurl, sizeof s.erreurcurl, "statut HTTP %ld", code);
        } else if (nonmodifie || s.inchangeftp || s.decide || s.decider()) {
            try {
                if (nonmodifie) {
                    // What a 304 does not repeat still holds.
                    Validateurs v = s.requete.si;
                    curl_off_t date = -1;
                    curl_easy_getinfo(e, CURLINFO_FILETIME_T, &date);
                    if (!s.etagvu.isEmpty())
                        v.etag = s.etagvu;
                    if (date >= 0)
                        v.datemodif = date;
                    if (s.plagesvues)
                        v.plages = true;
                    s.puits.validateurs(v);
                }
                if (nonmodifie || s.inchangeftp)
                    s.puits.inchange();
            } catch (const std::exception& ex) {
                s.puitsenechec = true;
                s.raisonpuits = ex.what();
            }
        }
        if (!s.puitsenechec && !s.plagerefusee && !s.refaireentier && resultat != CURLE_HTTP_RETURNED_ERROR) {
            s.livrer(true);
            s.signaler(Deconnexion);
            s.livrer(true);
            s.retirer(!s.inchangeftp); // the connection stays for the next fetch
            s.signaler(Deconnecte);
            s.signaler(Termine);
            s.livrer(true);
            return;
        }
    }

    // A failure: the connection is closed before the error is told.
    s.retirer(false);
    // The sink failed, not the transfer: the status line keeps the last
    // state the transfer really reached.
    if (s.puitsenechec) {
        s.livrer(true);
        throw EchecPuits(s.raisonpuits);
    }
    s.etatsenattente.clear();
    s.signaler(Erreur);
    s.livrer(true);
    if (s.delaidepasse)
        throw Echec("aucun progrès depuis " + std::to_string(delai_) + " s");
    if (s.troplong)
        throw Echec("corps plus long qu'annoncé");
    if (s.plagerefusee)
        throw Echec("réponse partielle autre que la suite demandée");
    if (s.refaireentier)
        throw Echec("le fichier a changé sur le serveur");
    // The proxy refused the tunnel of an https fetch (its login, most
    // often): its status, which libcurl's own reason leaves out.
    long tunnel = 0;
    curl_easy_getinfo(e, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    if (tunnel >= 300)
        throw Echec("le mandataire a refusé le tunnel : statut HTTP " + std::to_string(tunnel));
    long statut = s.statutrefuse;
    if (statut == 0 && resultat == CURLE_HTTP_RETURNED_ERROR)
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &statut);
    if (statut == 404 || statut == 410)
        throw EchecAbsent("statut HTTP " + std::to_string(statut));
    if (s.statutrefuse != 0)
        throw Echec("statut HTTP " + std::to_string(s.statutrefuse));
    // A redirection to a scheme the address may not lead to (https to
    // plain http or ftp, anything to a local file): said as such, without
    // the redirection's address, which may hold a password.
    if (resultat == CURLE_UNSUPPORTED_PROTOCOL) {
        long code = 0;
        const char* depuis = nullptr;
        char* vers = nullptr;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(e, CURLINFO_SCHEME, &depuis);
        curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &vers);
        const std::string cible = vers ? std::string(vers) : std::string();
        const auto fin = cible.find("://");
        if (code >= 300 && code < 400 && depuis && fin != std::string::npos)
            throw Echec("redirection de " + QByteArray(depuis).toLower().toStdString() + " vers "
                        + QByteArray::fromStdString(cible.substr(0, fin)).toLower().toStdString() + " refusée");
    }
    std::string raison = curl_easy_strerror(resultat);
    if (s.erreurcurl[0] != '\0')
        raison += std::string(": ") + s.erreurcurl;
    if (resultat == CURLE_REMOTE_FILE_NOT_FOUND)
        throw EchecAbsent(raison);
    throw Echec(raison);
}

} // namespace velorine

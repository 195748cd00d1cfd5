#include "platform/transfertcurl.h"

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <string>
#include <fcntl.h>
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
    std::call_once(fait, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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

// Certificates of a private authority, named the way the curl tool and
// OpenSSL name them.
void autorites(CURL* e)
{
    const char* fichier = std::getenv("CURL_CA_BUNDLE");
    if (!fichier || !*fichier)
        fichier = std::getenv("SSL_CERT_FILE");
    if (fichier && *fichier)
        curl_easy_setopt(e, CURLOPT_CAINFO, fichier);
    const char* dossier = std::getenv("SSL_CERT_DIR");
    if (dossier && *dossier)
        curl_easy_setopt(e, CURLOPT_CAPATH, dossier);
}

} // namespace

// One fetch. The libcurl callbacks only record what happened here; the
// fetch loop delivers it.
struct TransfertCurl::Session {
    Session(Puits& p, SuiviTransfert& t) : puits(p), suivi(t) {}
    ~Session()
    {
        if (multi && easy)
            curl_multi_remove_handle(multi.get(), easy.get());
        if (fdlocal >= 0)
            ::close(fdlocal);
    }

    Puits& puits;
    SuiviTransfert& suivi;
    std::unique_ptr<CURL, LibererEasy> easy;
    std::unique_ptr<CURLM, LibererMulti> multi; // declared last: cleaned first
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
    horloge::time_point dernieractivite = horloge::now();

    bool puitsenechec = false;
    std::string raisonpuits;

    bool fini = false;
    CURLcode resultat = CURLE_OK;

    int fdlocal = -1;      // the local file of a file: address
    long long ecrits = 0;  // bytes handed to the sink
    bool troplong = false; // more bytes than announced
    long statutrefuse = 0; // an HTTP status whose body is not the file

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
        for (const EtatTransfert etat : etatsenattente) {
            if (annule)
                break;
            if (etat <= dernieretat)
                continue;
            dernieretat = etat;
            suivi.etatchange(etat);
        }
        etatsenattente.clear();

        curl_off_t annonce = -1;
        if (curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &annonce) == CURLE_OK)
            total = annonce;
        const auto maintenant = horloge::now();
        if (!annule && corpsvu && (recus != recuslivres || total != totallivre)
            && (final || maintenant - derniereprogression >= intervalleprogression)) {
            recuslivres = recus;
            totallivre = total;
            derniereprogression = maintenant;
            suivi.progression(recus, total);
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
        static_cast<Session*>(s)->signaler(HoteTrouve);
        return ::socket(adresse->family, adresse->socktype | SOCK_CLOEXEC, adresse->protocol);
    }
    static int optionssocket(void* s, curl_socket_t, curlsocktype)
    {
        static_cast<Session*>(s)->signaler(Connexion);
        return CURL_SOCKOPT_OK;
    }
    static int prealable(void* s, char*, char*, int, int)
    {
        auto* session = static_cast<Session*>(s);
        session->prealablevu = true;
        session->signaler(Connecte);
        session->signaler(Demande);
        return CURL_PREREQFUNC_OK;
    }
    static size_t entete(char*, size_t taille, size_t nombre, void* s)
    {
        auto* session = static_cast<Session*>(s);
        session->dernieractivite = horloge::now();
        // Before the connection is ready, ftp's greeting and login replies
        // come here too: they are not the response yet.
        if (session->prealablevu && !session->entetevue) {
            session->entetevue = true;
            session->signaler(DemandeEnvoyee);
            session->signaler(Reponse);
        }
        return taille * nombre;
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
        if (curl_easy_getinfo(session->easy.get(), CURLINFO_RESPONSE_CODE, &code) == CURLE_OK
            && curl_easy_getinfo(session->easy.get(), CURLINFO_SCHEME, &protocole) == CURLE_OK && protocole
            && (protocole[0] == 'h' || protocole[0] == 'H') && (code < 200 || code > 299)) {
            session->statutrefuse = code;
            return CURL_WRITEFUNC_ERROR;
        }
        // A body longer than its announced length is not the file. (Over
        // HTTP libcurl itself stops reading at the announced length.)
        curl_off_t annonce = -1;
        session->ecrits += static_cast<long long>(n);
        if (curl_easy_getinfo(session->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &annonce) == CURLE_OK
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

TransfertCurl::TransfertCurl(int delai) : delai_(delai)
{
    initialiser();
}

TransfertCurl::~TransfertCurl() = default;

void TransfertCurl::definirdelai(int secondes)
{
    delai_ = secondes > 0 ? secondes : 1;
}

void TransfertCurl::annuler()
{
    if (encours_)
        encours_->annule = true;
}

void TransfertCurl::ouvrirurl(const QString& adresse, Provenance provenance, Puits& puits, SuiviTransfert& suivi)
{
    if (encours_)
        throw Echec("un transfert est déjà en cours");

    Session s(puits, suivi);
    encours_ = &s;
    struct Fin {
        Session*& encours;
        ~Fin() { encours = nullptr; }
    } fin{encours_};

    configurer(s, adresse, provenance);
    pomper(s);
    terminer(s);
}

// The easy handle of the fetch, its options and callbacks, in a multi handle
// of its own.
void TransfertCurl::configurer(Session& s, const QString& adresse, Provenance provenance) const
{
    s.easy.reset(curl_easy_init());
    s.multi.reset(curl_multi_init());
    if (!s.easy || !s.multi)
        throw Echec("libcurl indisponible");

    QByteArray url = adressecurl(adresse);
    const Adresse lue = analyseradresse(url);
    // A local file is read through the descriptor opened here, so that
    // libcurl reads the very file that was checked.
    const bool fichierslocaux = provenance == Provenance::Reglages;
    if (fichierslocaux && lue.schema == "file") {
        try {
            s.fdlocal = ouvrirlocal(lue.chemin);
        } catch (const Echec&) {
            s.suivi.etatchange(EtatTransfert::Erreur);
            throw;
        }
        url = "file:///proc/self/fd/" + QByteArray::number(s.fdlocal);
    }
    const auto delaims = static_cast<long>(delai_) * 1000L;
    CURL* e = s.easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, fichierslocaux ? "http,https,ftp,file" : "http,https,ftp");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, redirectionspermises(lue.schema));
    autorites(e);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, redirectionsmax);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, delaims);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, tampon);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "velorine-maj/" VELORINE_VERSION);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.erreurcurl);

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

    if (curl_multi_add_handle(s.multi.get(), e) != CURLM_OK)
        throw Echec("libcurl indisponible");
}

// Turns the transfer until it ends, is cancelled or goes too long without
// progress, handling the pending events between two turns.
void TransfertCurl::pomper(Session& s) const
{
    CURL* e = s.easy.get();
    const auto delai = std::chrono::seconds(delai_);
    while (!s.fini) {
        int actifs = 0;
        if (curl_multi_perform(s.multi.get(), &actifs) != CURLM_OK)
            throw Echec("libcurl: échec du transfert");

        // The request is on its way once libcurl has timed the start of the
        // transfer.
        curl_off_t pretransfert = 0;
        if (s.plushaut >= Connecte && s.plushaut < DemandeEnvoyee
            && curl_easy_getinfo(e, CURLINFO_PRETRANSFER_TIME_T, &pretransfert) == CURLE_OK
            && pretransfert > 0)
            s.signaler(DemandeEnvoyee);

        int restants = 0;
        while (CURLMsg* message = curl_multi_info_read(s.multi.get(), &restants)) {
            if (message->msg == CURLMSG_DONE) {
                s.resultat = message->data.result;
                s.fini = true;
            }
        }
        if (s.fini)
            break;

        s.livrer(false);
        if (s.annule)
            break;
        if (horloge::now() - s.dernieractivite >= delai) {
            s.delaidepasse = true;
            break;
        }

        if (curl_multi_poll(s.multi.get(), nullptr, 0, attentems, nullptr) != CURLM_OK)
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
    CURL* e = s.easy.get();
    CURLcode resultat = s.resultat;
    if (s.annule)
        throw Echec("annulé");

    if (s.fini && resultat == CURLE_OK && !s.puitsenechec) {
        long code = 0;
        const char* protocole = nullptr;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(e, CURLINFO_SCHEME, &protocole);
        const bool http = protocole && QByteArray(protocole).toLower().startsWith("http");
        // Only a 2xx status brings the file: a redirect without a
        // destination, a 304 or an error page is not it.
        if (http && (code < 200 || code > 299)) {
            resultat = CURLE_HTTP_RETURNED_ERROR;
            std::snprintf(s.erreurcurl, sizeof s.erreurcurl, "statut HTTP %ld", code);
        } else {
            s.livrer(true);
            s.signaler(Deconnexion);
            s.livrer(true);
            curl_multi_remove_handle(s.multi.get(), e);
            s.multi.reset(); // closes the connections
            s.signaler(Deconnecte);
            s.signaler(Termine);
            s.livrer(true);
            return;
        }
    }

    // A failure: the connection is closed before the error is told.
    curl_multi_remove_handle(s.multi.get(), e);
    s.multi.reset();
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
    if (s.statutrefuse != 0)
        throw Echec("statut HTTP " + std::to_string(s.statutrefuse));
    std::string raison = curl_easy_strerror(resultat);
    if (s.erreurcurl[0] != '\0')
        raison += std::string(": ") + s.erreurcurl;
    throw Echec(raison);
}

} // namespace velorine

#include "config/cg_config.h"

#include "config/InifilesX.h"
#include "config/funciones.h"
#include "config/version.h"
#include "database/VexQuery.h"
#include "platform/runtime/strings.h"

#include <QStringList>

#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace {

// A settings column holding 1 means on; 0, NULL and every other number off.
bool flag(TVexQuery& q, const QString& column) { return q.FieldByName(column).AsInteger() == 1; }

QString currentDirectory() {
    std::vector<char> buf(PATH_MAX);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    return QString::fromLocal8Bit(buf.data());
}

}  // namespace

__config::__config(DBConn& db) : cons(std::make_unique<TVexQuery>(db)) {
    // Older databases lack these columns; a failure here is expected once they exist.
    for (const QString& column : {QStringLiteral("userdna"), QStringLiteral("passdna")}) {
        try {
            prepare({QStringLiteral("alter table configuracion add %1 varchar(20)").arg(column)});
            cons->ExecSQL();
        } catch (...) {
        }
    }
}

__config::~__config() = default;

void __config::prepare(const QStringList& lines) {
    cons->SetActive(false);
    cons->SQL().clear();
    cons->SQL().append(lines);
}

bool __config::cargo() {
    prepare({QStringLiteral("select * from configuracion")});
    cons->SetActive(true);
    bool result = false;
    if (!cons->Eof()) {
        TVexQuery& q = *cons;
        lugar = q.FieldByName(QStringLiteral("lugar")).AsString();
        garante = q.FieldByName(QStringLiteral("garante")).AsString();
        mail = q.FieldByName(QStringLiteral("mail")).AsString();
        htmldir = get_ini(QString(), QStringLiteral("CONFIGURACION"), QStringLiteral("HTMLDIR"));
        CantCNTPorReg = q.FieldByName(QStringLiteral("CantCNTPorReg")).AsInteger();
        // The external-signer columns exist only in some databases.
        try {
            usar_firmador_externo = flag(q, QStringLiteral("usar_firmador_externo"));
        } catch (...) {
            usar_firmador_externo = false;
        }
        try {
            Id_firmador_externo = q.FieldByName(QStringLiteral("Id_firmador_externo")).AsInteger();
        } catch (...) {
            Id_firmador_externo = 0;
        }
        try {
            Addr_firmador_externo = q.FieldByName(QStringLiteral("Addr_firmador_externo")).AsString();
        } catch (...) {
            Addr_firmador_externo.clear();
        }
        indicar_AA = flag(q, QStringLiteral("indicar_AA"));
        liberado = flag(q, QStringLiteral("liberado"));
        userdna = q.FieldByName(QStringLiteral("userdna")).AsString();
        passdna = q.FieldByName(QStringLiteral("passdna")).AsString();
        agenteDeCarga = flag(q, QStringLiteral("agenteDeCarga"));
        dirImport = q.FieldByName(QStringLiteral("dirImport")).AsString();
        dirImportExpo = q.FieldByName(QStringLiteral("dirImportExpo")).AsString();
        idedi = q.FieldByName(QStringLiteral("idedi")).AsString();
        mostrarLineasEliminadas = flag(q, QStringLiteral("impMostrarLineasEliminadas"));
        result = true;
    }
    std::int32_t v = 0;
    get_key_value_CURRENT_USER(QStringLiteral("modifica_operaciones"), v);
    habilitado_funcionalidad_operaciones = v == 1;
    get_key_value_CURRENT_USER(QStringLiteral("DESA"), v);
    enviar_a_desa = v == 1;
    get_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), v);
    valido_volumen = v == 0;
    return result;
}

void __config::salvo() {
    prepare({QStringLiteral("select * from configuracion")});
    cons->SetActive(true);
    const auto q = [this](const QString& s) { return cons->StrQuoted(s, true, true); };
    if (cons->Eof()) {
        prepare({
            QStringLiteral("insert into configuracion (lugar,garante,mail,idedi,MaxCNTPorCont) values ("),
            q(lugar) + u',',
            q(garante) + u',',
            q(mail) + u',',
            q(idedi) + u',',
            rtl::IntToStr(CantCNTPorReg) + u')',
        });
    } else {
        prepare({
            QStringLiteral("update configuracion set "),
            QStringLiteral("lugar=") + q(lugar) + u',',
            QStringLiteral("garante=") + q(garante) + u',',
            QStringLiteral("mail=") + q(mail) + u',',
            QStringLiteral("userdna=") + q(userdna) + u',',
            QStringLiteral("passdna=") + q(passdna) + u',',
            QStringLiteral("idedi=") + q(idedi) + u',',
            QStringLiteral("dirimport=") + q(dirImport) + u',',
            QStringLiteral("dirimportexpo=") + q(dirImportExpo) + u',',
            QStringLiteral("CantCNTPorReg=") + rtl::IntToStr(CantCNTPorReg) + u',',
            mostrarLineasEliminadas ? QStringLiteral("impMostrarLineasEliminadas=1")
                                    : QStringLiteral("impMostrarLineasEliminadas=0"),
        });
    }
    cons->ExecSQL();

    prepare({indicar_AA ? QStringLiteral("update configuracion set indicar_AA=1")
                        : QStringLiteral("update configuracion set indicar_AA=0")});
    cons->ExecSQL();
    prepare({liberado ? QStringLiteral("update configuracion set liberado=1")
                      : QStringLiteral("update configuracion set liberado=0")});
    cons->ExecSQL();
    prepare({agenteDeCarga ? QStringLiteral("update configuracion set agenteDeCarga = 1")
                           : QStringLiteral("update configuracion set agenteDeCarga = 0")});
    cons->ExecSQL();

    set_key_value_CURRENT_USER(QStringLiteral("NO_VALIDO_VOL"), valido_volumen ? 0 : 1);
}

QString __config::dir_html() const {
    QString dir = htmldir.isEmpty() ? currentDirectory() : htmldir;
    if (dir.isEmpty()) return {};
    return conSeparadorFinal(std::move(dir));
}

std::int32_t __config::doy_nuevo_id_aso() {
    prepare({QStringLiteral("select max(id) from asoc_manif")});
    cons->SetActive(true);
    return siguienteCodigo(cons->Fields()[0].AsInteger(), QStringLiteral("asoc_manif"), QStringLiteral("id"));
}

std::int32_t __config::doy_ultima_act_online() {
    std::int32_t result = 0;
    bool missing = false;
    prepare({QStringLiteral("select * from config01")});
    try {
        cons->SetActive(true);
        data::TField& f = cons->FieldByName(QStringLiteral("ult_online"));
        // An empty table reads as NULL, that is 0, as the platform's datasets do.
        if (!cons->Eof()) result = f.AsInteger();
    } catch (...) {
        missing = true;
        result = 0;
    }
    if (missing) {
        prepare({QStringLiteral("create table config01 (ult_online integer)")});
        cons->ExecSQL();
    }
    return result;
}

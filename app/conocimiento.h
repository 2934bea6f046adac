// One air waybill read from a workbook row, and the main window's ordered
// list of them. A waybill holds its defaults from the moment it is added; the
// reading fills what the workbook supplies and the saving stores the
// database row ids back.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TConocimiento {
public:
    // Sets every field to its default, whatever it held.
    void inicializar();

    std::int32_t id = 0;     // row id in table conocimientos
    std::int32_t manif = 0;  // id of the manifest saved into
    QString remitente;
    QString consignatario;
    std::int32_t idconsignatario = 0;
    QString notificar;
    QString numero;
    QString master;
    QString pago;
    QString descripcion;
    double peso = 0;
    double volumen = 0;
    double bultos = 0;
    QString tipoBultos = QStringLiteral("PCS");
    std::int32_t estado = 9;
    QString operacion = QStringLiteral("A");
    QString embarque = QStringLiteral("JP NRT");
    QString destino = QStringLiteral("UY MVD");
    std::int32_t lineaId = 1;  // row id of cargo line 1 in table lineas
    std::int32_t numerodna = 0;
    std::int32_t paisDestinatario = 858;  // ISO 3166-1 numeric: Uruguay
};

// Owns its waybills; positions run from 0 in the order they were added.
class TConocimientos {
public:
    // Appends a waybill holding the defaults and returns it; the list owns it.
    TConocimiento& add();
    // The waybill at position i, 0 <= i < Count(); throws rtl::EListError otherwise.
    TConocimiento& get_item(std::int32_t i);
    const TConocimiento& get_item(std::int32_t i) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    // Removes and frees every waybill.
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TConocimiento>> items_;
};

#include "app/conocimiento.h"

#include "platform/runtime/exception.h"

#include <gtest/gtest.h>

namespace {

void expectDefaults(const TConocimiento& c) {
    EXPECT_EQ(c.id, 0);
    EXPECT_EQ(c.manif, 0);
    EXPECT_TRUE(c.remitente.isEmpty());
    EXPECT_TRUE(c.consignatario.isEmpty());
    EXPECT_EQ(c.idconsignatario, 0);
    EXPECT_TRUE(c.notificar.isEmpty());
    EXPECT_TRUE(c.numero.isEmpty());
    EXPECT_TRUE(c.master.isEmpty());
    EXPECT_TRUE(c.pago.isEmpty());
    EXPECT_TRUE(c.descripcion.isEmpty());
    EXPECT_EQ(c.peso, 0);
    EXPECT_EQ(c.volumen, 0);
    EXPECT_EQ(c.bultos, 0);
    EXPECT_EQ(c.tipoBultos, QStringLiteral("PCS"));
    EXPECT_EQ(c.estado, 9);
    EXPECT_EQ(c.operacion, QStringLiteral("A"));
    EXPECT_EQ(c.embarque, QStringLiteral("JP NRT"));
    EXPECT_EQ(c.destino, QStringLiteral("UY MVD"));
    EXPECT_EQ(c.lineaId, 1);
    EXPECT_EQ(c.numerodna, 0);
    EXPECT_EQ(c.paisDestinatario, 858);
}

void fill(TConocimiento& c) {
    c.id = 5;
    c.manif = 7;
    c.remitente = QStringLiteral("SHIPPER");
    c.consignatario = QStringLiteral("SEñOR PéREZ");
    c.idconsignatario = 3;
    c.numero = QStringLiteral("123");
    c.peso = 12.5;
    c.tipoBultos = QStringLiteral("BOX");
    c.estado = 1;
    c.embarque = QStringLiteral("CN PVG");
    c.lineaId = 99;
    c.paisDestinatario = 32;
}

TEST(TConocimientos, NewListIsEmpty) {
    TConocimientos list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.get_item(0), rtl::EListError);
}

TEST(TConocimientos, AddGivesDefaultsEvenAfterAChangedNeighbour) {
    TConocimientos list;
    fill(list.add());
    TConocimiento& second = list.add();
    expectDefaults(second);
    EXPECT_EQ(list.Count(), 2);
}

TEST(TConocimientos, KeepsOrderAndStableItems) {
    TConocimientos list;
    TConocimiento& first = list.add();
    first.numero = QStringLiteral("A");
    for (int i = 0; i < 100; ++i) list.add().numero = QString::number(i);
    EXPECT_EQ(&list.get_item(0), &first);  // later adds do not move earlier waybills
    EXPECT_EQ(list.get_item(0).numero, QStringLiteral("A"));
    EXPECT_EQ(list.get_item(list.Count() - 1).numero, QStringLiteral("99"));
    EXPECT_THROW(list.get_item(list.Count()), rtl::EListError);
    EXPECT_THROW(list.get_item(-1), rtl::EListError);
}

TEST(TConocimientos, ClearEmptiesTheList) {
    TConocimientos list;
    list.add();
    list.add();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    expectDefaults(list.add());
}

TEST(TConocimiento, InicializarRestoresEveryDefault) {
    TConocimiento c;
    fill(c);
    c.inicializar();
    expectDefaults(c);
}

}  // namespace

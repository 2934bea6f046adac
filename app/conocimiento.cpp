#include "app/conocimiento.h"

#include "platform/runtime/exception.h"

void TConocimiento::inicializar() { *this = TConocimiento(); }

TConocimiento& TConocimientos::add() {
    items_.push_back(std::make_unique<TConocimiento>());
    TConocimiento& item = *items_.back();
    item.inicializar();
    return item;
}

TConocimiento& TConocimientos::get_item(std::int32_t i) {
    return const_cast<TConocimiento&>(std::as_const(*this).get_item(i));
}

const TConocimiento& TConocimientos::get_item(std::int32_t i) const {
    if (i < 0 || i >= Count())
        throw rtl::EListError(QStringLiteral("Índice de lista fuera de rango (%1)").arg(i));
    return *items_[static_cast<size_t>(i)];
}

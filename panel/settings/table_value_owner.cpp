#include "table_value_owner.h"

#include "settings/settings_store.h"

namespace TVR {

TableValueOwner::TableValueOwner(SettingsStore& store, ImgSensor& camera,
                                 std::span<const NamedControl> table)
    : m_store(store), m_camera(camera), m_table(table) {}

void TableValueOwner::readState() {
    for (const NamedControl& row : m_table) readControl(*this, row);
}

void TableValueOwner::loadFromStore() {
    for (const NamedControl& row : m_table) pushOrReadControl(*this, row);
}

void TableValueOwner::updateControls() {
    if (m_window != nullptr) m_window->updateControls();
}

const NamedControl* TableValueOwner::rowOfControl(int controlId) const {
    for (const NamedControl& row : m_table) {
        if (row.controlId == controlId) return &row;
    }
    return nullptr;
}

ControlEdit TableValueOwner::editNumber(int controlId, int value) {
    const NamedControl* row = rowOfControl(controlId);
    if (row == nullptr) return {};
    switch (row->format) {
        case ControlFormat::Hex:
            m_store.setHex(row->key, value);
            break;
        case ControlFormat::Bool:
            m_store.setBool(row->key, value != 0);
            break;
        case ControlFormat::Real:
            m_store.setReal(row->key, value);
            break;
        case ControlFormat::Decimal:
        default:
            m_store.setDecimal(row->key, value);
            break;
    }
    return {true, pushControlByKey(*this, row->key)};
}

ControlEdit TableValueOwner::editCheck(int controlId, bool checked) {
    const NamedControl* row = rowOfControl(controlId);
    if (row == nullptr) return {};
    m_store.setBool(row->key, checked);
    return {true, pushControlByKey(*this, row->key)};
}

}  // namespace TVR

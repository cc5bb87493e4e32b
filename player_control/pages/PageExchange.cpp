#include "player_control/pages/PageExchange.h"

namespace qxm::qxmovie {

std::size_t PageExchange::add(ExchangeKind kind, int controlId, std::string property) {
    ExchangeEntry e;
    e.controlId = controlId;
    e.property = std::move(property);
    e.kind = kind;
    e.number = kind == ExchangeKind::Radio ? -1 : 0;
    entries_.push_back(std::move(e));
    return entries_.size() - 1;
}

void PageExchange::read(IDispatch& object) {
    for (ExchangeEntry& e : entries_) {
        e.changed = false;
        Variant v;
        if (failed(dispGet(object, e.property, v))) continue;
        switch (e.kind) {
        case ExchangeKind::Check: {
            bool on = false;
            if (succeeded(v.toBool(on))) e.number = on ? 1 : 0;
            break;
        }
        case ExchangeKind::Radio: {
            std::int32_t n = 0;
            if (succeeded(v.toI4(n))) e.number = n;
            break;
        }
        case ExchangeKind::Text: {
            std::string s;
            if (succeeded(v.toString(s))) e.text = std::move(s);
            break;
        }
        }
    }
}

void PageExchange::setNumber(std::size_t i, std::int32_t number) {
    ExchangeEntry& e = entries_.at(i);
    e.number = number;
    e.changed = true;
}

void PageExchange::setText(std::size_t i, std::string text) {
    ExchangeEntry& e = entries_.at(i);
    e.text = std::move(text);
    e.changed = true;
}

bool PageExchange::anyChanged() const {
    for (const ExchangeEntry& e : entries_)
        if (e.changed) return true;
    return false;
}

Variant PageExchange::valueOf(const ExchangeEntry& e) {
    switch (e.kind) {
    case ExchangeKind::Check:
        return Variant(e.number != 0);
    case ExchangeKind::Radio:
        return Variant(e.number);
    case ExchangeKind::Text:
        return Variant(e.text);
    }
    return Variant();
}

HRESULT PageExchange::apply(std::span<const ComPtr<IDispatch>> objects, std::string& error) {
    for (ExchangeEntry& e : entries_) {
        if (!e.changed) continue;
        const Variant value = valueOf(e);
        for (const ComPtr<IDispatch>& object : objects) {
            ExcepInfo excep;
            const HRESULT hr = dispPut(*object, e.property, value, &excep);
            if (failed(hr)) {
                error = hr == DISP_E_EXCEPTION && !excep.description.empty() ? excep.description
                                                                             : hresultMessage(hr);
                return hr;
            }
        }
        e.changed = false;
    }
    return S_OK;
}

} // namespace qxm::qxmovie

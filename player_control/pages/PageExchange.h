#pragma once
// The values a property page exchanges with the objects it edits, by property name through
// their IDispatch: one entry a control (a check box, a group of radio buttons or an edit box),
// kept in the page's exchange order, each knowing whether the user changed it.
//
// Before the objects are read, a check box holds 0, a radio group -1 (no button chosen) and an
// edit box "". read() takes the values of the first object; apply() puts the changed entries,
// in order, on every object.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/component/Dispatch.h"

namespace qxm::qxmovie {

enum class ExchangeKind {
    Check, // number 0 or 1; put as a boolean
    Radio, // number: the chosen button's position in its group, -1 for none; put as a long
    Text,  // text; put as a string
};

struct ExchangeEntry {
    int controlId = 0; // the check box, the group's first button, or the edit box
    std::string property;
    ExchangeKind kind = ExchangeKind::Check;
    std::int32_t number = 0;
    std::string text{};
    bool changed = false;
};

class PageExchange {
public:
    // Adds an entry at the end of the exchange order; returns its position.
    std::size_t add(ExchangeKind kind, int controlId, std::string property);

    std::size_t size() const { return entries_.size(); }
    const ExchangeEntry& entry(std::size_t i) const { return entries_.at(i); }

    // Reads every entry from the object. A property the object cannot give (or whose value
    // does not convert) keeps the entry's value. Clears the changed marks.
    void read(IDispatch& object);

    // What the user did: a new value, marked changed.
    void setNumber(std::size_t i, std::int32_t number);
    void setText(std::size_t i, std::string text);

    bool anyChanged() const;

    // Puts every changed entry's value on every object, entries in order. An entry put on all
    // objects is no longer marked changed. At the first failure the rest is left for later
    // (still marked) and the failure returned, with the object's error description in error
    // (or a text for the code when the object gave none).
    HRESULT apply(std::span<const ComPtr<IDispatch>> objects, std::string& error);

    // The value an entry puts.
    static Variant valueOf(const ExchangeEntry& entry);

private:
    std::vector<ExchangeEntry> entries_;
};

} // namespace qxm::qxmovie

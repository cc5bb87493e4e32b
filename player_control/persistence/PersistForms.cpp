#include "player_control/persistence/QXMoviePersist.h"

#include <stdexcept>
#include <type_traits>

namespace qxm::qxmovie {
namespace {

void setMessage(std::string* message, std::string text) {
    if (message) *message = std::move(text);
}

// How a value shows in a message: strings quoted, numbers and booleans as their text.
std::string describe(const Variant& v) {
    std::string text;
    if (failed(v.toString(text))) return "the value";
    return v.type() == VarType::BStr ? "\"" + text + "\"" : text;
}

std::string conversionMessage(std::string_view name, const Variant& v, VarType to, HRESULT hr) {
    std::string text = std::string(name) + ": " + describe(v);
    if (hr == DISP_E_OVERFLOW) return text + " is out of range";
    switch (to) {
    case VarType::Bool:
        return text + " is not a boolean value";
    case VarType::I4:
        return text + " is not a number";
    default:
        return text + " cannot be converted to " + varTypeName(to) + " (" + formatHResult(hr) + ")";
    }
}

// Reads name from the bag. S_FALSE when the bag has no such value (out unchanged).
HRESULT readFromBag(IPropertyBag& bag, std::string_view name, Variant& out, std::string* message) {
    HRESULT hr = bag.read(name, out);
    if (hr == E_INVALIDARG) return S_FALSE;
    if (failed(hr))
        setMessage(message, std::string(name) + ": the bag cannot give the value (" +
                                formatHResult(hr) + ")");
    return hr;
}

HRESULT readExtent(IPropertyBag& bag, std::string_view name, std::int32_t& extent,
                   std::string* message) {
    Variant v;
    HRESULT hr = readFromBag(bag, name, v, message);
    if (hr != S_OK) return hr;
    hr = v.toI4(extent);
    if (failed(hr)) setMessage(message, conversionMessage(name, v, VarType::I4, hr));
    return hr;
}

// ---- little-endian bytes ----

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t(v >> shift));
}

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
    std::size_t offset() const { return pos_; }
    std::size_t left() const { return data_.size() - pos_; }
    // False (nothing consumed) when fewer than four bytes are left.
    bool u32(std::uint32_t& v) {
        if (left() < 4) return false;
        v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | data_[pos_ + std::size_t(i)];
        pos_ += 4;
        return true;
    }
    std::string bytes(std::size_t n) {
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

std::string versionText(std::uint32_t v) {
    return std::to_string(v >> 16) + "." + std::to_string(v & 0xFFFF);
}

} // namespace

HRESULT loadFromBag(IPropertyBag& bag, PersistedControl& out, std::string* message) {
    PersistedControl loaded;
    Variant version;
    HRESULT hr = readFromBag(bag, kVersionName, version, message);
    if (failed(hr)) return hr;
    if (std::int32_t v = 0; hr == S_OK && succeeded(version.toI4(v)))
        loaded.version = std::uint32_t(v);
    if (hr = readExtent(bag, kExtentXName, loaded.extentX, message); failed(hr)) return hr;
    if (hr = readExtent(bag, kExtentYName, loaded.extentY, message); failed(hr)) return hr;

    for (const PersistedProperty& p : persistedProperties()) {
        Variant v;
        hr = readFromBag(bag, p.name, v, message);
        if (failed(hr)) return hr;
        if (hr == S_FALSE) continue;
        hr = p.set(loaded.state, v);
        if (failed(hr)) {
            setMessage(message, conversionMessage(p.name, v, p.varType(), hr));
            return hr;
        }
    }
    out = std::move(loaded);
    return S_OK;
}

HRESULT saveToBag(const PersistedControl& in, IPropertyBag& bag, bool saveAll) {
    HRESULT hr = bag.write(kVersionName, Variant(std::int32_t(in.version)));
    if (succeeded(hr)) hr = bag.write(kExtentXName, Variant(in.extentX));
    if (succeeded(hr)) hr = bag.write(kExtentYName, Variant(in.extentY));
    for (const PersistedProperty& p : persistedProperties()) {
        if (failed(hr)) return hr;
        if (saveAll || !p.isDefault(in.state)) hr = bag.write(p.name, p.get(in.state));
    }
    return failed(hr) ? hr : S_OK;
}

void saveToStream(const PersistedControl& in, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> bytes;
    putU32(bytes, in.version);
    putU32(bytes, std::uint32_t(in.extentX));
    putU32(bytes, std::uint32_t(in.extentY));
    for (const PersistedProperty& p : persistedProperties()) {
        std::visit(
            [&](auto m) {
                const auto& v = in.state.*m;
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    if (v.size() > 0xFFFFFFFFu)
                        throw std::length_error(std::string(p.name) + " is too long to save");
                    putU32(bytes, std::uint32_t(v.size()));
                    bytes.insert(bytes.end(), v.begin(), v.end());
                } else if constexpr (std::is_same_v<T, bool>) {
                    putU32(bytes, v ? 1u : 0u);
                } else {
                    putU32(bytes, std::uint32_t(v));
                }
            },
            p.member);
    }
    out = std::move(bytes);
}

HRESULT loadFromStream(std::span<const std::uint8_t> data, PersistedControl& out,
                       std::string* message) {
    auto endsInside = [&](std::string_view name, std::size_t offset, std::string detail) {
        setMessage(message, "the data ends inside " + std::string(name) + " (starting at byte " +
                                std::to_string(offset) + " of " + std::to_string(data.size()) +
                                ": " + detail + ")");
        return STG_E_READFAULT;
    };

    ByteReader r(data);
    PersistedControl loaded;
    std::uint32_t header[3] = {};
    const std::string_view headerNames[3] = {kVersionName, kExtentXName, kExtentYName};
    for (int i = 0; i < 3; ++i) {
        if (!r.u32(header[i]))
            return endsInside(headerNames[i], r.offset(),
                              "the header takes 12 bytes, the data holds " +
                                  std::to_string(data.size()));
    }
    loaded.version = header[0];
    loaded.extentX = std::int32_t(header[1]);
    loaded.extentY = std::int32_t(header[2]);
    const bool current = loaded.version == kPersistVersion;

    for (const PersistedProperty& p : persistedProperties()) {
        if (r.left() == 0) {
            if (!current) break; // older or newer data: the rest keep their defaults
            setMessage(message, "the data ends before " + std::string(p.name) + " (version " +
                                    versionText(kPersistVersion) + " data holds all " +
                                    std::to_string(kPersistedPropertyCount) + " values)");
            return STG_E_READFAULT;
        }
        const std::size_t start = r.offset();
        std::uint32_t word = 0;
        if (!r.u32(word))
            return endsInside(p.name, start,
                              std::to_string(r.left()) + " of its 4 bytes are there");
        HRESULT hr = std::visit(
            [&](auto m) {
                auto& v = loaded.state.*m;
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    // Checked before anything is allocated: a length can claim up to 4 GiB.
                    if (word > r.left())
                        return endsInside(p.name, start,
                                          "its length says " + std::to_string(word) + " bytes, " +
                                              std::to_string(r.left()) + " are left");
                    v = r.bytes(word);
                } else if constexpr (std::is_same_v<T, bool>) {
                    v = word != 0;
                } else {
                    v = std::int32_t(word);
                }
                return S_OK;
            },
            p.member);
        if (failed(hr)) return hr;
    }
    out = std::move(loaded);
    return S_OK;
}

} // namespace qxm::qxmovie

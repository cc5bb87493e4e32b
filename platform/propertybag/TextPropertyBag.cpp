#include "platform/propertybag/TextPropertyBag.h"

#include "platform/files/TextFiles.h"
#include "platform/text/QuotedText.h"
#include "platform/text/Trim.h"

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace qxm {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isControl(char c) {
    auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string foldKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return key;
}

// Why name cannot be an entry's name, or "" when it can.
std::string nameProblem(std::string_view name) {
    if (name.empty()) return "the name before '=' is empty";
    for (char c : name) {
        if (isBlank(c)) return "the name \"" + std::string(name) + "\" holds a blank";
        if (isControl(c)) return "the name \"" + std::string(name) + "\" holds a control character";
        if (c == '=') return "the name \"" + std::string(name) + "\" holds '='";
    }
    if (name.front() == '#' || name.front() == ';')
        return "the name \"" + std::string(name) + "\" starts like a comment";
    // The text form skips a byte order mark at its start: such a name would not read back.
    if (name.substr(0, 3) == "\xEF\xBB\xBF")
        return "the name \"" + std::string(name) + "\" starts with a byte order mark";
    return {};
}

// The quoted value that starts at v[0] == '"' and ends the line.
bool unquote(std::string_view v, std::string& out, std::string& why) {
    std::size_t end = 0;
    if (!readQuoted(v, end, out, &why)) return false;
    if (!trimLeft(v.substr(end)).empty()) {
        why = "text after the closing quote";
        return false;
    }
    return true;
}

bool needsQuotes(std::string_view v) {
    if (v.empty() || isBlank(v.front()) || isBlank(v.back()) || v.front() == '"') return true;
    for (char c : v)
        if (isControl(c)) return true;
    return false;
}

// One line of the text form (without its line feed). isEntry is false for blank and comment
// lines; on failure why says what is wrong.
bool parseLine(std::string_view line, bool& isEntry, std::string& name, std::string& value,
               std::string& why) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view body = trimLeft(line);
    isEntry = false;
    if (body.empty() || body.front() == '#' || body.front() == ';') return true;
    std::size_t eq = body.find('=');
    if (eq == std::string_view::npos) {
        why = "no '=' after the name \"" + std::string(trimRight(body)) + "\"";
        return false;
    }
    std::string_view n = trimRight(body.substr(0, eq));
    if (std::string problem = nameProblem(n); !problem.empty()) {
        why = std::move(problem);
        return false;
    }
    std::string_view v = trimLeft(body.substr(eq + 1));
    if (!v.empty() && v.front() == '"') {
        if (!unquote(v, value, why)) return false;
    } else {
        value.assign(trimRight(v));
    }
    name.assign(n);
    isEntry = true;
    return true;
}

} // namespace

HRESULT TextPropertyBag::read(std::string_view name, Variant& out) {
    const std::string* v = find(name);
    if (!v) return E_INVALIDARG;
    out = Variant(*v);
    return S_OK;
}

HRESULT TextPropertyBag::write(std::string_view name, const Variant& value) {
    if (!isValidName(name)) return E_INVALIDARG;
    std::string text;
    HRESULT hr = value.toString(text);
    if (failed(hr)) return hr;
    put(std::string(name), std::move(text));
    return S_OK;
}

const std::string* TextPropertyBag::find(std::string_view name) const {
    for (const Entry& e : entries_)
        if (equalsNoCase(e.name, name)) return &e.value;
    return nullptr;
}

TextPropertyBag::Entry* TextPropertyBag::findEntry(std::string_view name) {
    for (Entry& e : entries_)
        if (equalsNoCase(e.name, name)) return &e;
    return nullptr;
}

void TextPropertyBag::put(std::string name, std::string value) {
    if (Entry* e = findEntry(name)) {
        e->value = std::move(value); // the entry keeps its place and the spelling it had
    } else {
        entries_.push_back({std::move(name), std::move(value)});
    }
}

bool TextPropertyBag::isValidName(std::string_view name) {
    return nameProblem(name).empty();
}

HRESULT TextPropertyBag::parse(std::string_view text, TextPropertyBag& out, std::string* error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> firstLine; // folded name -> line number
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);

        bool isEntry = false;
        std::string name, value, why;
        if (!parseLine(line, isEntry, name, value, why)) {
            setError(error, "line " + std::to_string(lineNo) + ": " + why);
            return STG_E_READFAULT;
        }
        if (!isEntry) continue;
        auto [it, added] = firstLine.emplace(foldKey(name), lineNo);
        if (!added) {
            setError(error, "line " + std::to_string(lineNo) + ": \"" + name +
                                "\" is given twice (first on line " + std::to_string(it->second) +
                                ")");
            return STG_E_READFAULT;
        }
        entries.push_back({std::move(name), std::move(value)});
    }
    out.entries_ = std::move(entries);
    return S_OK;
}

HRESULT TextPropertyBag::addLine(std::string_view line, std::string* error) {
    if (line.find('\n') != std::string_view::npos) {
        setError(error, "a line feed inside \"name=value\"");
        return STG_E_READFAULT;
    }
    bool isEntry = false;
    std::string name, value, why;
    if (!parseLine(line, isEntry, name, value, why)) {
        setError(error, why);
        return STG_E_READFAULT;
    }
    if (!isEntry) {
        setError(error, "expected name=value");
        return STG_E_READFAULT;
    }
    put(std::move(name), std::move(value));
    return S_OK;
}

std::string TextPropertyBag::format() const {
    std::string out;
    for (const Entry& e : entries_) {
        out += e.name;
        out += '=';
        out += needsQuotes(e.value) ? quoteText(e.value) : e.value;
        out += '\n';
    }
    return out;
}

HRESULT TextPropertyBag::readFile(const std::string& path, TextPropertyBag& out,
                                  std::string* error) {
    std::string text;
    if (const int e = readWholeFile(path, text); e != 0) {
        setError(error, "cannot read " + path + ": " + std::strerror(e));
        return e == ENOENT || e == ENOTDIR ? STG_E_FILENOTFOUND : STG_E_READFAULT;
    }
    std::string detail;
    HRESULT hr = parse(text, out, &detail);
    if (failed(hr)) setError(error, path + ": " + detail);
    return hr;
}

HRESULT TextPropertyBag::writeFile(const std::string& path, std::string* error) const {
    if (path.empty() || path.back() == '/') {
        setError(error, "no file name in \"" + path + "\"");
        return STG_E_WRITEFAULT;
    }
    std::string what;
    if (const int e = replaceFileAtomically(path, format(), &what); e != 0) {
        setError(error, what + ": " + std::strerror(e));
        return STG_E_WRITEFAULT;
    }
    return S_OK;
}

} // namespace qxm

#pragma once
// A property bag of texts: an ordered list of named values, as a page's parameters or a host's
// command line give them. Every value is held as text; reading hands out a string variant and
// the reader converts it to the type it needs. Names compare without case.
//
// Text form, one entry a line:
//
//     # comment            (also "; comment"; blank lines are skipped too)
//     AutoPlay=False
//     MovieFile = /movies/a b.mpg          (surrounding blanks are dropped)
//     CursorFile="  leading blanks\tand a tab"
//
// The name (trimmed of blanks) must be non-empty and hold no blank, '=' or control character.
// The value is everything after the first '='. When it starts (after blanks) with '"' it is a
// quoted string with the escapes \" \\ \n \r \t that closes on the same line (only blanks may
// follow); otherwise it is the raw text without surrounding blanks. CR LF line ends read like
// LF, and a UTF-8 byte order mark at the start of the text is skipped. A name given twice in one
// text is an error. Bytes of multibyte characters (UTF-8, CP932) pass through as they are;
// escapes are read byte by byte, so whatever format() writes reads back unchanged whatever the
// charset (in a hand-written quoted value a backslash is always an escape, even as the second
// byte of a CP932 character; unquoted values have no escapes).
#include "platform/component/HResult.h"
#include "platform/component/Persist.h"
#include "platform/component/Unknown.h"
#include "platform/component/Variant.h"

#include <string>
#include <string_view>
#include <vector>

namespace qxm {

class TextPropertyBag : public Object<IPropertyBag> {
public:
    struct Entry {
        std::string name;
        std::string value;
        bool operator==(const Entry&) const = default;
    };

    TextPropertyBag() = default;

    // out = the value's text as a string variant; E_INVALIDARG (out unchanged) when absent.
    HRESULT read(std::string_view name, Variant& out) override;
    // Stores the value's text (booleans "True"/"False", numbers their decimal text). An entry of
    // the same name is replaced where it stands, otherwise the entry is appended. E_INVALIDARG
    // for a name the text form cannot hold (see isValidName).
    HRESULT write(std::string_view name, const Variant& value) override;

    const std::vector<Entry>& entries() const { return entries_; }
    // The value of that name, or null.
    const std::string* find(std::string_view name) const;
    void clear() { entries_.clear(); }

    // A name the text form can hold: non-empty, no blank, '=' or control character, not
    // starting with '#' or ';' (which would make the line a comment) nor with a UTF-8 byte
    // order mark (which a text's first line loses).
    static bool isValidName(std::string_view name);

    // Replaces out's entries with those of text. On failure STG_E_READFAULT, *error says
    // "line N: ..." and out is unchanged.
    static HRESULT parse(std::string_view text, TextPropertyBag& out, std::string* error);
    // Adds one "name=value" line (a comment or blank line is an error here) or replaces the
    // entry of that name: how a host applies its command-line arguments over a loaded bag. On
    // failure STG_E_READFAULT with *error saying why, and the bag is unchanged.
    HRESULT addLine(std::string_view line, std::string* error);
    // The text form of the entries, one "name=value" line each, ending with a line feed. A value
    // is quoted exactly when its raw form would not read back the same (or is empty).
    std::string format() const;

    // parse() of a file's contents. A missing file is STG_E_FILENOTFOUND, one that cannot be
    // read STG_E_READFAULT, with the system's reason in *error; parse errors are prefixed with
    // the path.
    static HRESULT readFile(const std::string& path, TextPropertyBag& out, std::string* error);
    // Writes format() to path atomically: a temporary file in the same folder, flushed to disk
    // and renamed over path, so that readers see the old or the new contents, never a part. On
    // failure STG_E_WRITEFAULT with the reason in *error, the old file untouched and no
    // temporary left behind.
    HRESULT writeFile(const std::string& path, std::string* error) const;

private:
    Entry* findEntry(std::string_view name);
    void put(std::string name, std::string value);

    std::vector<Entry> entries_;
};

} // namespace qxm

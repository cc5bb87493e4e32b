#include "player_control/anchors/DefAnchor.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <new>

#include "platform/location/FileUrl.h"
#include "player_control/anchors/AnchorGeometry.h"
#include "player_control/anchors/AnchorText.h"

namespace qxm {

namespace {

// Entries reserved when a record is created; the rest grows with the file's lines, so a header
// that announces a huge count costs memory only for the lines that really follow.
constexpr std::size_t kInitialEntries = 4;

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

// Splits the byte stream into lines: CR dropped, LF ends a line, at most kAnchorLineMaxChars
// stored per line (the following characters start the next line).
class CDefAnchor::Reader {
public:
    explicit Reader(std::istream& in) : buf_(in.rdbuf()) {}

    bool next(std::string& line) {
        line.clear();
        if (!buf_) return false;
        pieceLine_ = fileLine_;
        bool any = false;
        for (;;) {
            const auto c = buf_->sbumpc();
            if (c == std::char_traits<char>::eof()) return any;
            any = true;
            if (c == '\r') continue;
            if (c == '\n') {
                ++fileLine_;
                return true;
            }
            line.push_back(static_cast<char>(c));
            if (line.size() == kAnchorLineMaxChars) return true;
        }
    }

    // The line of the file on which the last line returned by next() began (1-based).
    std::size_t lineNumber() const { return pieceLine_; }

private:
    std::streambuf* buf_;
    std::size_t fileLine_ = 1;
    std::size_t pieceLine_ = 0;
};

bool CDefAnchor::mayAllocate(std::size_t bytes) const {
    return !allocationHook_ || allocationHook_(bytes);
}

void CDefAnchor::Clear() {
    records_.clear();
    ++generation_;
}

int CDefAnchor::LoadAnchors(const std::string& path) {
    Clear();
    problem_ = {};
    std::string local = path;
    if (isFileUrl(path)) {
        auto decoded = fileUrlToPath(path);
        if (!decoded) return 0;
        local = std::move(*decoded);
    }
    // Any other scheme is no protocol the control speaks: the text is tried as a file name.
    // Only regular files count: a device or pipe could block or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(local, ec)) return 0;
    std::ifstream in(local, std::ios::binary);
    if (!in.is_open()) return 0;
    return readAll(in);
}

int CDefAnchor::LoadAnchorsFrom(std::istream& in) {
    Clear();
    problem_ = {};
    return readAll(in);
}

int CDefAnchor::readAll(std::istream& in) {
    Reader reader(in);
    std::string buffer;
    bool inSection = false;
    int result = 0;
    try {
        while (result == 0 && reader.next(buffer)) {
            // The line is a zero-terminated text: a zero byte ends it.
            std::string_view line(buffer.c_str());
            if (isBlank(line) || line.starts_with("MaxObject")) continue;
            if (line.front() == '[') {
                result = addHeader(line);
                inSection = true;
            } else if (inSection) {
                result = addFrame(line);
            }
        }
    } catch (const std::bad_alloc&) {
        result = fail(AnchorFormatFault::Memory);
    } catch (const std::length_error&) {
        result = fail(AnchorFormatFault::Memory);
    } catch (const std::ios_base::failure&) {
        // A source that fails while being read is as unreadable as one that does not open.
        Clear();
        problem_ = {};
        return 0;
    }
    if (result != 0) {
        Clear();
        problem_.line = reader.lineNumber();
        problem_.text = buffer.c_str();
    }
    return result;
}

int CDefAnchor::fail(AnchorFormatFault fault) {
    problem_.fault = fault;
    return fault == AnchorFormatFault::Memory ? ANCHOR_ERR_MEMORY : ANCHOR_ERR_FORMAT;
}

int CDefAnchor::addHeader(std::string_view line) {
    const std::string_view text = line.substr(1);
    std::size_t colons[4];
    std::size_t found = 0;
    for (std::size_t pos = 0; found < 4; ++found) {
        const std::size_t c = text.find(':', pos);
        if (c == std::string_view::npos) break;
        colons[found] = c;
        pos = c + 1;
    }
    if (found < 3) return fail(AnchorFormatFault::HeaderFields);
    const std::string_view id = text.substr(0, colons[0]);
    const std::string_view name = text.substr(colons[0] + 1, colons[1] - colons[0] - 1);
    const std::string_view range = text.substr(colons[1] + 1, colons[2] - colons[1] - 1);
    const std::size_t countEnd = found == 4 ? colons[3] : text.size();
    const std::string_view count = text.substr(colons[2] + 1, countEnd - colons[2] - 1);
    if (id.empty()) return fail(AnchorFormatFault::EmptyId);
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos) return fail(AnchorFormatFault::RangeWithoutDash);

    const std::int32_t start = parseAnchorNumber(range.substr(0, dash));
    const std::int32_t end = parseAnchorNumber(range.substr(dash + 1));
    const std::int32_t capacity = parseAnchorNumber(count);
    if (end < start || start < 0) return fail(AnchorFormatFault::BadRange);
    if (capacity < 1) return fail(AnchorFormatFault::BadCount);

    const std::size_t reserve =
        std::min<std::size_t>(static_cast<std::size_t>(capacity), kInitialEntries);
    if (!mayAllocate(sizeof(DefAnchorRecord) + reserve * sizeof(AnchorFrameEntry)))
        return fail(AnchorFormatFault::Memory);
    auto record = std::make_unique<DefAnchorRecord>();
    record->id = cutAnchorText(id, kAnchorIdMaxBytes);
    record->name = cutAnchorText(name, kAnchorNameMaxBytes);
    record->startFrame = start;
    record->endFrame = end;
    record->capacity = capacity;
    record->entries.reserve(reserve);
    records_.push_back(std::move(record));
    return 0;
}

int CDefAnchor::addFrame(std::string_view line) {
    std::int32_t v[5];
    std::size_t pos = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t d = line.find_first_of(":,;", pos);
        const char expected = k == 0 ? ':' : ',';
        if (d == std::string_view::npos || line[d] != expected)
            return fail(AnchorFormatFault::FrameLineFields);
        v[k] = parseAnchorNumber(line.substr(pos, d - pos));
        pos = d + 1;
    }
    v[4] = parseAnchorNumber(line.substr(pos, line.find_first_of(":,;", pos) - pos));

    DefAnchorRecord& r = *records_.back();
    const std::int32_t frame = v[0];
    if (static_cast<std::int32_t>(r.entries.size()) == r.capacity)
        return fail(AnchorFormatFault::TooManyFrames);
    if (frame < r.startFrame || frame > r.endFrame)
        return fail(AnchorFormatFault::FrameOutsideRange);
    if (frame < r.lastFrame) return fail(AnchorFormatFault::FrameOutOfOrder);
    if (frame == r.lastFrame) return 0; // the first rectangle for a frame wins
    if (r.entries.size() == r.entries.capacity()) {
        const std::size_t grown =
            std::min<std::size_t>(static_cast<std::size_t>(r.capacity),
                                  std::max<std::size_t>(kInitialEntries, 2 * r.entries.size()));
        if (!mayAllocate(grown * sizeof(AnchorFrameEntry))) return fail(AnchorFormatFault::Memory);
        r.entries.reserve(grown);
    }
    r.entries.push_back({frame, {v[1], v[2], v[3], v[4]}});
    r.lastFrame = frame;
    return 0;
}

std::string CDefAnchor::ID(int index) const {
    return index >= 0 && index < Count() ? records_[index]->id : std::string{};
}

std::string CDefAnchor::Name(int index) const {
    return index >= 0 && index < Count() ? records_[index]->name : std::string{};
}

AnchorRef CDefAnchor::At(int index) const {
    if (index < 0 || index >= Count()) return {};
    return {generation_, index};
}

bool CDefAnchor::IsCurrent(AnchorRef ref) const {
    return ref.generation == generation_ && ref.index >= 0 && ref.index < Count();
}

const DefAnchorRecord* CDefAnchor::Record(AnchorRef ref) const {
    return IsCurrent(ref) ? records_[ref.index].get() : nullptr;
}

AnchorRef CDefAnchor::Find(std::string_view id) const {
    for (int i = 0; i < Count(); ++i) {
        if (records_[i]->id == id) return {generation_, i};
    }
    return {};
}

bool CDefAnchor::Range(AnchorRef ref, std::int32_t& start, std::int32_t& end) const {
    const DefAnchorRecord* r = Record(ref);
    if (!r) return false;
    start = r->startFrame;
    end = r->endFrame;
    return true;
}

bool anchorRectAt(const DefAnchorRecord& r, std::int32_t frame, AnchorRect& rect) {
    if (frame < r.startFrame || frame > r.endFrame) return false;
    const auto& e = r.entries;
    const auto it =
        std::lower_bound(e.begin(), e.end(), frame,
                         [](const AnchorFrameEntry& x, std::int32_t f) { return x.frame < f; });
    if (it == e.end()) return false;
    if (it->frame == frame) {
        rect = it->rect;
        return true;
    }
    if (it == e.begin()) return false;
    const AnchorFrameEntry& b = *(it - 1);
    const AnchorFrameEntry& n = *it;
    auto lerp = [&](std::int32_t vb, std::int32_t vi) {
        return interpolateAnchorValue(vb, vi, frame, b.frame, n.frame);
    };
    rect = {lerp(b.rect.left, n.rect.left), lerp(b.rect.top, n.rect.top),
            lerp(b.rect.right, n.rect.right), lerp(b.rect.bottom, n.rect.bottom)};
    return true;
}

bool CDefAnchor::FindAnchorAt(AnchorRef ref, std::int32_t frame, AnchorPoint point, bool hitTest,
                              AnchorRect& rect) const {
    rect = {};
    const DefAnchorRecord* r = Record(ref);
    AnchorRect found;
    if (!r || !anchorRectAt(*r, frame, found)) return false;
    if (hitTest && !found.contains(point)) return false;
    rect = found;
    return true;
}

AnchorRef CDefAnchor::HitTestAnchors(std::int32_t frame, AnchorPoint point,
                                     std::string_view filterId) const {
    for (int i = 0; i < Count(); ++i) {
        if (!filterId.empty() && records_[i]->id != filterId) continue;
        AnchorRect rect;
        const AnchorRef ref{generation_, i};
        if (FindAnchorAt(ref, frame, point, true, rect)) return ref;
    }
    return {};
}

} // namespace qxm

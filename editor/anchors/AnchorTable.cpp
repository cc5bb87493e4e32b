#include "editor/anchors/AnchorTable.h"

#include "editor/anchors/AnchorMemory.h"
#include "editor/anchors/AnchorRules.h"
#include "editor/anchors/AnchorTexts.h"
#include "platform/prompter/Prompter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>

namespace qxm::anchors {
namespace {

int32_t saturate(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v); // truncates toward zero
}

bool usableScale(double s) {
    return s != 0.0 && std::isfinite(s);
}

// Grows the vector's capacity to hold one more element, through the allocation checkpoint.
template <class T> void reserveOneMore(std::vector<T>& v) {
    allocationPoint((v.size() + 1) * sizeof(T));
    v.reserve(v.size() + 1);
}

} // namespace

void ShowNoMemory() {
    qxm::prompt(text::kNoMemory, text::kProgramTitle);
}

int32_t ScaleToMovie(int32_t value, double scale) {
    return usableScale(scale) ? saturate(static_cast<double>(value) * scale) : value;
}

int32_t ScaleToDisplay(int32_t value, double scale) {
    return usableScale(scale) ? saturate(static_cast<double>(value) / scale) : value;
}

Rect Normalized(Rect r) {
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    return r;
}

void AnchorTable::Clear() {
    records_.clear();
    records_.shrink_to_fit();
    CurrentAnchor = -1;
    AnchorDataSaved = true;
    XScale = YScale = 0.0;
}

EditResult AnchorTable::Append(std::string_view id, std::string_view name) {
    if (records_.size() >= kMaxObject) return EditResult::Full;
    if (CheckAnchorID(id) != TextCheck::Ok || CheckAnchorName(name) != TextCheck::Ok ||
        FindByID(id) >= 0)
        return EditResult::Invalid;
    try {
        AnchorRecord r;
        r.ID = id;
        r.Name = name;
        allocationPoint(2 * sizeof(FrameEntry));
        r.Entries.resize(2);
        reserveOneMore(records_);
        records_.push_back(std::move(r)); // cannot throw: capacity reserved
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
        return EditResult::NoMemory;
    }
    CurrentAnchor = static_cast<int>(records_.size() - 1);
    ++AnchorsCreated;
    AnchorDataSaved = false;
    return EditResult::Ok;
}

EditResult AnchorTable::Remove(std::size_t index) {
    if (index >= records_.size()) return EditResult::BadIndex;
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(index));
    const int i = static_cast<int>(index);
    if (CurrentAnchor == i)
        CurrentAnchor = -1;
    else if (CurrentAnchor > i)
        --CurrentAnchor;
    AnchorDataSaved = false;
    return EditResult::Ok;
}

bool AnchorTable::Move(std::size_t index, Direction direction) {
    if (index >= records_.size()) return false;
    if (direction == Direction::Up && index == 0) return false;
    if (direction == Direction::Down && index + 1 >= records_.size()) return false;
    const std::size_t other = direction == Direction::Up ? index - 1 : index + 1;
    std::swap(records_[index], records_[other]);
    const int a = static_cast<int>(index), b = static_cast<int>(other);
    if (CurrentAnchor == a)
        CurrentAnchor = b;
    else if (CurrentAnchor == b)
        CurrentAnchor = a;
    AnchorDataSaved = false;
    return true;
}

EditResult AnchorTable::InsertKeyFrame(std::size_t anchor, int32_t frame, const Rect& rect) {
    if (anchor >= records_.size()) return EditResult::BadIndex;
    AnchorRecord& r = records_[anchor];
    try {
        reserveOneMore(r.Entries);
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
        return EditResult::NoMemory;
    }
    const auto uf = static_cast<uint32_t>(frame);
    auto it = std::find_if(r.Entries.begin(), r.Entries.end(), [uf](const FrameEntry& e) {
        return static_cast<uint32_t>(e.Frame) >= uf;
    });
    if (it != r.Entries.end() && it->Frame == frame) {
        it->setRect(rect);
    } else {
        FrameEntry e;
        e.Frame = frame;
        e.setRect(rect);
        r.Entries.insert(it, e); // capacity reserved: no allocation
    }
    if (uf < static_cast<uint32_t>(r.StartFrame))
        r.StartFrame = frame;
    else if (uf > static_cast<uint32_t>(r.EndFrame))
        r.EndFrame = frame;
    AnchorDataSaved = false;
    return EditResult::Ok;
}

EditResult AnchorTable::RemoveKeyFrame(std::size_t anchor, std::size_t entry) {
    if (anchor >= records_.size()) return EditResult::BadIndex;
    AnchorRecord& r = records_[anchor];
    if (entry >= r.Entries.size()) return EditResult::BadIndex;
    r.Entries.erase(r.Entries.begin() + static_cast<std::ptrdiff_t>(entry));
    if (r.Entries.empty()) {
        r.StartFrame = r.EndFrame = -1;
    } else {
        r.StartFrame = r.Entries.front().Frame;
        r.EndFrame = r.Entries.back().Frame;
    }
    AnchorDataSaved = false;
    return EditResult::Ok;
}

EditResult AnchorTable::ReplaceEntries(std::size_t anchor, const std::vector<FrameEntry>& entries) {
    if (anchor >= records_.size()) return EditResult::BadIndex;
    try {
        allocationPoint(entries.size() * sizeof(FrameEntry));
        std::vector<FrameEntry> copy(entries);
        records_[anchor].Entries = std::move(copy);
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
        return EditResult::NoMemory;
    }
    AnchorDataSaved = false;
    return EditResult::Ok;
}

void AnchorTable::Assign(std::vector<AnchorRecord> records) {
    if (records.size() > kMaxObject) records.resize(kMaxObject);
    records_ = std::move(records);
    CurrentAnchor = -1;
}

bool AnchorTable::Backup(std::vector<AnchorRecord>& out) const {
    try {
        std::size_t bytes = records_.size() * sizeof(AnchorRecord);
        for (const auto& r : records_)
            bytes += r.Entries.size() * sizeof(FrameEntry);
        allocationPoint(bytes);
        std::vector<AnchorRecord> copy(records_);
        out = std::move(copy);
    } catch (const std::bad_alloc&) {
        ShowNoMemory();
        return false;
    }
    return true;
}

void AnchorTable::SetScales(int movieWidth, int movieHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || movieWidth <= 0 || movieHeight <= 0) {
        XScale = YScale = 1.0;
        return;
    }
    XScale = static_cast<double>(movieWidth) / static_cast<double>(pictureWidth);
    YScale = static_cast<double>(movieHeight) / static_cast<double>(pictureHeight);
}

Rect AnchorTable::ToMovie(const Rect& d) const {
    return {ScaleToMovie(d.Left, XScale), ScaleToMovie(d.Top, YScale),
            ScaleToMovie(d.Right, XScale), ScaleToMovie(d.Bottom, YScale)};
}

Rect AnchorTable::ToDisplay(const Rect& m) const {
    return {ScaleToDisplay(m.Left, XScale), ScaleToDisplay(m.Top, YScale),
            ScaleToDisplay(m.Right, XScale), ScaleToDisplay(m.Bottom, YScale)};
}

int AnchorTable::FindByID(std::string_view id) const {
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i].ID == id) return static_cast<int>(i);
    return -1;
}

std::size_t AnchorTable::CompleteCount() const {
    return static_cast<std::size_t>(std::count_if(records_.begin(), records_.end(),
                                                  [](const auto& r) { return r.complete(); }));
}

void AnchorTable::DropIncomplete() {
    const std::size_t before = records_.size();
    int current = -1;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < before; ++i) {
        if (!records_[i].complete()) continue;
        if (CurrentAnchor == static_cast<int>(i)) current = static_cast<int>(kept);
        if (kept != i) records_[kept] = std::move(records_[i]);
        ++kept;
    }
    records_.resize(kept);
    CurrentAnchor = current;
    if (kept != before) AnchorDataSaved = false;
}

} // namespace qxm::anchors

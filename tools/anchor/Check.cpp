// qxmanchor check and print: what each reader makes of an anchor object file.
#include "editor/anchors/AnchorRules.h"
#include "tools/anchor/Anchors.h"
#include "tools/anchor/Commands.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace qxm::anchortool {
namespace {

using anchors::ReadNoteKind;

struct Finding {
    std::size_t line = 0;
    std::string text;
};

std::string num(std::int64_t v) {
    return std::to_string(v);
}

std::string rectText(const AnchorRect& r) {
    return num(r.left) + "," + num(r.top) + "," + num(r.right) + "," + num(r.bottom);
}

std::string entryText(std::int32_t frame, const AnchorRect& r) {
    return num(frame) + ":" + rectText(r);
}

std::string anchorLine(std::string_view id, std::string_view name, std::int64_t start,
                       std::int64_t end, std::size_t keys) {
    return fill(keys == 1 ? text::kAnchorLineOne : text::kAnchorLine,
                {quotedText(id), quotedText(name), num(start), num(end), num(std::int64_t(keys))});
}

// Length in bytes of line n (1-based) of a file, line feed and carriage return not counted.
std::size_t lineLength(const std::string& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::size_t line = 1, length = 0;
    for (char c; line <= n && in.get(c);) {
        if (c == '\n') {
            if (line == n) break;
            ++line;
            length = 0;
        } else if (line == n && c != '\r') {
            ++length;
        }
    }
    return length;
}

const char* playerFaultText(AnchorFormatFault fault) {
    switch (fault) {
    case AnchorFormatFault::HeaderFields:
        return text::kPlayerHeaderFields;
    case AnchorFormatFault::EmptyId:
        return text::kPlayerEmptyId;
    case AnchorFormatFault::RangeWithoutDash:
        return text::kPlayerRangeWithoutDash;
    case AnchorFormatFault::BadRange:
        return text::kPlayerBadRange;
    case AnchorFormatFault::BadCount:
        return text::kPlayerBadCount;
    case AnchorFormatFault::FrameLineFields:
        return text::kPlayerFrameLineFields;
    case AnchorFormatFault::TooManyFrames:
        return text::kPlayerTooManyFrames;
    case AnchorFormatFault::FrameOutsideRange:
        return text::kPlayerFrameOutsideRange;
    case AnchorFormatFault::FrameOutOfOrder:
        return text::kPlayerFrameOutOfOrder;
    case AnchorFormatFault::Memory:
        return text::kPlayerMemory;
    case AnchorFormatFault::None:
        break;
    }
    return "";
}

const char* editorNoteText(ReadNoteKind kind) {
    switch (kind) {
    case ReadNoteKind::TextBeforeSection:
        return text::kEditorTextBeforeSection;
    case ReadNoteKind::SectionBeforeCount:
        return text::kEditorSectionBeforeCount;
    case ReadNoteKind::CountOverLimit:
        return text::kEditorCountOverLimit;
    case ReadNoteKind::SectionBeyondCount:
        return text::kEditorSectionBeyondCount;
    case ReadNoteKind::HeaderFields:
        return text::kEditorHeaderFields;
    case ReadNoteKind::RangeWithoutDash:
        return text::kEditorRangeWithoutDash;
    case ReadNoteKind::IdCut:
        return text::kEditorIdCut;
    case ReadNoteKind::NameCut:
        return text::kEditorNameCut;
    case ReadNoteKind::EntriesCut:
        return text::kEditorEntriesCut;
    case ReadNoteKind::LineWithoutColon:
        return text::kEditorLineWithoutColon;
    case ReadNoteKind::FrameLineBeyondCount:
        return text::kEditorFrameLineBeyondCount;
    case ReadNoteKind::FrameLineOpen:
        return text::kEditorFrameLineOpen;
    case ReadNoteKind::LineSplit:
        return text::kEditorLineSplit;
    }
    return "";
}

// Everything about an editor reading that the editor's own rules would not have produced:
// the reader's notes and the anchors that break the model's invariants, in line order.
std::vector<Finding> editorFindings(const EditorReading& e) {
    std::vector<Finding> out;
    for (const anchors::ReadNote& n : e.trace.notes)
        out.push_back({n.line, editorNoteText(n.kind)});
    std::map<std::string, std::size_t> firstLineOfId;
    for (std::size_t i = 0; i < e.table.size(); ++i) {
        const anchors::AnchorRecord& r = e.table[i];
        const std::size_t header = i < e.trace.headerLines.size() ? e.trace.headerLines[i] : 0;
        const auto& lines =
            i < e.trace.entryLines.size() ? e.trace.entryLines[i] : std::vector<std::size_t>{};
        if (anchors::CheckAnchorID(r.ID) != anchors::TextCheck::Ok)
            out.push_back({header, fill(text::kEditorIdRules, {quotedText(r.ID)})});
        if (anchors::CheckAnchorName(r.Name) != anchors::TextCheck::Ok)
            out.push_back({header, fill(text::kEditorNameRules, {quotedText(r.Name)})});
        const auto [it, fresh] = firstLineOfId.emplace(r.ID, header);
        if (!fresh)
            out.push_back(
                {header, fill(text::kEditorDuplicateId, {quotedText(r.ID), num(it->second)})});
        if (r.StartFrame < 0 || r.EndFrame < r.StartFrame)
            out.push_back(
                {header, fill(text::kEditorBadRange, {num(r.StartFrame), num(r.EndFrame)})});
        const std::size_t filled =
            std::size_t(std::count_if(lines.begin(), lines.end(), [](auto l) { return l != 0; }));
        if (r.Entries.empty()) {
            out.push_back({header, text::kEditorNoKeys});
            continue;
        }
        if (filled < r.Entries.size())
            out.push_back(
                {header, fill(text::kEditorMissingLines,
                              {num(std::int64_t(r.Entries.size())), num(std::int64_t(filled))})});
        for (std::size_t k = 0; k < r.Entries.size(); ++k) {
            const anchors::FrameEntry& en = r.Entries[k];
            const std::size_t line = k < lines.size() && lines[k] ? lines[k] : header;
            if (k > 0 && en.Frame <= r.Entries[k - 1].Frame) {
                out.push_back(
                    {line, fill(text::kEditorOrder, {num(en.Frame), num(r.Entries[k - 1].Frame)})});
                break;
            }
            if (en.Frame < r.StartFrame || en.Frame > r.EndFrame) {
                out.push_back({line, fill(text::kEditorOutside,
                                          {num(en.Frame), num(r.StartFrame), num(r.EndFrame)})});
                break;
            }
        }
        if (r.Entries.front().Frame != r.StartFrame)
            out.push_back(
                {lines.empty() || !lines[0] ? header : lines[0],
                 fill(text::kEditorStartKey, {num(r.Entries.front().Frame), num(r.StartFrame)})});
        if (r.Entries.back().Frame != r.EndFrame)
            out.push_back(
                {lines.back() ? lines.back() : header,
                 fill(text::kEditorEndKey, {num(r.Entries.back().Frame), num(r.EndFrame)})});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return out;
}

// Spans between key frames over which the player control's 32-bit interpolation overflows
// (|difference| x (frames between) beyond 2^31 - 1): the rectangles it plays there are wrong.
std::vector<Finding> overflowFindings(const PlayerReading& p, const EditorReading& e) {
    std::vector<Finding> out;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    for (std::size_t i = 0; i < p.anchors.size(); ++i) {
        const Anchor& a = p.anchors[i];
        for (std::size_t k = 1; k < a.entries.size(); ++k) {
            const AnchorFrameEntry& b = a.entries[k - 1];
            const AnchorFrameEntry& n = a.entries[k];
            const std::int64_t steps = std::int64_t(n.frame) - b.frame - 1;
            bool overflows = false;
            for (const auto& [vb, vn] :
                 {std::pair{b.rect.left, n.rect.left}, std::pair{b.rect.top, n.rect.top},
                  std::pair{b.rect.right, n.rect.right}, std::pair{b.rect.bottom, n.rect.bottom}}) {
                const std::int64_t delta = std::abs(std::int64_t(vn) - vb);
                overflows = overflows || delta > kMax || (delta && steps > kMax / delta);
            }
            if (!overflows) continue;
            const std::size_t line = i < e.trace.headerLines.size() ? e.trace.headerLines[i] : 0;
            out.push_back({line, fill(text::kPlayerOverflow,
                                      {quotedText(a.id), num(b.frame), num(n.frame)})});
            break;
        }
    }
    return out;
}

// Where the two readings differ, as the author should hear it.
std::vector<Finding> disagreements(const PlayerReading& p, const EditorReading& e) {
    std::vector<Finding> out;
    const std::size_t editorCount = e.table.size();
    const auto headerLine = [&](std::size_t i) {
        return i < e.trace.headerLines.size() ? e.trace.headerLines[i] : 0;
    };
    if (p.result != 0) {
        if (editorCount > 0)
            out.push_back({p.problem.line, fill(text::kPlayerRefusesEditorReads,
                                                {num(std::int64_t(editorCount))})});
        return out;
    }
    if (p.anchors.size() != editorCount)
        out.push_back({0, fill(text::kCountsDiffer, {num(std::int64_t(editorCount)),
                                                     num(std::int64_t(p.anchors.size()))})});
    const std::size_t common = std::min(editorCount, p.anchors.size());
    std::map<std::string, std::size_t> playerIds;
    for (std::size_t i = 0; i < common; ++i) {
        const Anchor& pa = p.anchors[i];
        const anchors::AnchorRecord& ea = e.table[i];
        const std::size_t line = headerLine(i);
        const std::string which = num(std::int64_t(i + 1));
        if (pa.id != ea.ID)
            out.push_back(
                {line, fill(text::kIdDiffers, {which, quotedText(pa.id), quotedText(ea.ID)})});
        // Two IDs the editor tells apart that the player cut to the same one.
        const auto [it, fresh] = playerIds.emplace(pa.id, i);
        if (!fresh && e.table[it->second].ID != ea.ID)
            out.push_back({line, fill(text::kSameIdToPlayer, {num(std::int64_t(it->second + 1)),
                                                              which, quotedText(pa.id)})});
        if (pa.name != ea.Name)
            out.push_back({line, fill(text::kNameDiffers,
                                      {which, quotedText(pa.name), quotedText(ea.Name)})});
        if (pa.startFrame != ea.StartFrame || pa.endFrame != ea.EndFrame)
            out.push_back({line, fill(text::kRangeDiffers,
                                      {which, num(pa.startFrame) + "-" + num(pa.endFrame),
                                       num(ea.StartFrame) + "-" + num(ea.EndFrame)})});
        const std::size_t keys = std::max(pa.entries.size(), ea.Entries.size());
        for (std::size_t k = 0; k < keys; ++k) {
            const std::string playerKey = k < pa.entries.size()
                                              ? entryText(pa.entries[k].frame, pa.entries[k].rect)
                                              : std::string(text::kNoKeyFrame);
            const std::string editorKey =
                k < ea.Entries.size()
                    ? entryText(ea.Entries[k].Frame, {ea.Entries[k].Left, ea.Entries[k].Top,
                                                      ea.Entries[k].Right, ea.Entries[k].Bottom})
                    : std::string(text::kNoKeyFrame);
            if (playerKey != editorKey) {
                out.push_back({line, fill(text::kKeysDiffer, {which, num(std::int64_t(k + 1)),
                                                              playerKey, editorKey})});
                break;
            }
        }
    }
    return out;
}

std::string located(const std::string& file, std::size_t line, const std::string& what) {
    return line ? file + ":" + num(std::int64_t(line)) + ": " + what : file + ": " + what;
}

} // namespace

int checkCommand(const std::string& path, std::FILE* out, std::FILE* err) {
    if (!readableFile(path)) {
        std::fprintf(err, "%s%s\n", text::kProgramPrefix, fill(text::kCannotRead, {path}).c_str());
        return kExitProblems;
    }
    const PlayerReading player = readWithPlayer(path);
    const EditorReading editor = readWithEditor(path);
    bool problems = false;

    // The player control: what viewers get.
    if (player.result != 0) {
        problems = true;
        std::fprintf(out, "%s\n", text::kPlayerRefuses);
        std::string why = playerFaultText(player.problem.fault);
        if (lineLength(path, player.problem.line) > kAnchorLineMaxChars)
            why += text::kPlayerLongLine;
        std::fprintf(
            out, "  %s\n",
            fill(text::kFirstProblem, {located(path, player.problem.line,
                                               why + " (" + quotedText(player.problem.text) + ")")})
                .c_str());
    } else {
        std::fprintf(out, "%s\n",
                     fill(player.anchors.size() == 1 ? text::kPlayerReadsOne : text::kPlayerReads,
                          {num(std::int64_t(player.anchors.size()))})
                         .c_str());
        for (const Anchor& a : player.anchors)
            std::fprintf(
                out, "  %s\n",
                anchorLine(a.id, a.name, a.startFrame, a.endFrame, a.entries.size()).c_str());
        const std::vector<Finding> overflows = overflowFindings(player, editor);
        std::string first = text::kNone;
        if (!overflows.empty()) {
            problems = true;
            first = located(path, overflows.front().line, overflows.front().text);
            if (overflows.size() > 1)
                first += fill(text::kMoreProblems, {num(std::int64_t(overflows.size() - 1))});
        }
        std::fprintf(out, "  %s\n", fill(text::kFirstProblem, {first}).c_str());
    }

    // The editor: what authors get.
    if (editor.status == anchors::ReadStatus::NoMemory) {
        problems = true;
        std::fprintf(out, "%s\n  %s\n", text::kEditorNoMemory,
                     fill(text::kFirstProblem, {text::kPlayerMemory}).c_str());
    } else {
        const std::vector<Finding> findings = editorFindings(editor);
        std::fprintf(out, "%s\n",
                     fill(editor.table.size() == 1 ? text::kEditorReadsOne : text::kEditorReads,
                          {num(std::int64_t(editor.table.size()))})
                         .c_str());
        for (const anchors::AnchorRecord& r : editor.table.records())
            std::fprintf(
                out, "  %s\n",
                anchorLine(r.ID, r.Name, r.StartFrame, r.EndFrame, r.Entries.size()).c_str());
        if (findings.empty()) {
            std::fprintf(out, "  %s\n", fill(text::kFirstProblem, {text::kNone}).c_str());
        } else {
            problems = true;
            std::string first = located(path, findings.front().line, findings.front().text);
            if (findings.size() > 1)
                first += fill(text::kMoreProblems, {num(std::int64_t(findings.size() - 1))});
            std::fprintf(out, "  %s\n", fill(text::kFirstProblem, {first}).c_str());
        }
    }

    const std::vector<Finding> differences = disagreements(player, editor);
    if (differences.empty()) {
        std::fprintf(out, "%s\n", text::kReadersAgree);
    } else {
        problems = true;
        std::fprintf(out, "%s\n", text::kReadersDisagree);
        for (const Finding& d : differences)
            std::fprintf(out, "  %s\n", located(path, d.line, d.text).c_str());
    }
    return problems ? kExitProblems : kExitOk;
}

int printCommand(const std::string& path, bool frames, std::int64_t origin, std::FILE* out,
                 std::FILE* err) {
    if (!readableFile(path)) {
        std::fprintf(err, "%s%s\n", text::kProgramPrefix, fill(text::kCannotRead, {path}).c_str());
        return kExitProblems;
    }
    const PlayerReading player = readWithPlayer(path);
    if (player.result != 0) {
        std::fprintf(err, "%s%s\n", text::kProgramPrefix,
                     fill(text::kRefusedSeeCheck, {located(path, player.problem.line,
                                                           playerFaultText(player.problem.fault))})
                         .c_str());
        return kExitProblems;
    }
    if (player.anchors.empty())
        std::fprintf(err, "%s%s%s\n", text::kProgramPrefix, text::kWarningPrefix,
                     fill(text::kNoAnchors, {path}).c_str());
    if (origin != 0) std::fprintf(out, "%s\n", fill(text::kPrintOrigin, {num(origin)}).c_str());
    std::string line;
    for (const Anchor& a : player.anchors) {
        std::fprintf(
            out, "%s\n",
            anchorLine(a.id, a.name, a.startFrame + origin, a.endFrame + origin, a.entries.size())
                .c_str());
        if (a.entries.empty()) continue;
        const std::int64_t first = a.entries.front().frame, last = a.entries.back().frame;
        if (a.startFrame < first)
            std::fprintf(
                out, "  %s\n",
                fill(text::kNoRectBefore, {num(a.startFrame + origin), num(first - 1 + origin)})
                    .c_str());
        if (frames) {
            forEachFrame(a, [&](std::int32_t f, const AnchorRect& r, bool key) {
                line = "  " + num(f + origin) + ": " + rectText(r);
                if (key) line += text::kKeyMark;
                line += '\n';
                std::fputs(line.c_str(), out);
            });
        } else {
            for (const AnchorFrameEntry& e : a.entries)
                std::fprintf(out, "  %s: %s\n", num(e.frame + origin).c_str(),
                             rectText(e.rect).c_str());
        }
        if (a.endFrame > last)
            std::fprintf(
                out, "  %s\n",
                fill(text::kNoRectAfter, {num(last + 1 + origin), num(a.endFrame + origin)})
                    .c_str());
    }
    return std::ferror(out) ? kExitProblems : kExitOk;
}

} // namespace qxm::anchortool

#include "editor/anchors/AnchorFile.h"

#include "editor/anchors/AnchorMemory.h"
#include "editor/anchors/AnchorPaths.h"
#include "editor/anchors/AnchorTexts.h"
#include "editor/anchors/TextLines.h"
#include "platform/codepage/CodePage.h"
#include "platform/files/TextFiles.h"
#include "platform/prompter/Prompter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qxm::anchors {
namespace {

namespace cp = qxm::codepage;

SaveHooks& hooks() {
    static SaveHooks h;
    return h;
}

bool injected(SaveStep step) {
    return hooks().fail && hooks().fail(step);
}

uint64_t nowSeconds() {
    if (hooks().clock) return hooks().clock();
    return static_cast<uint64_t>(std::time(nullptr));
}

void waitForNextName() {
    if (hooks().wait)
        hooks().wait();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void show(const char* message) {
    qxm::prompt(message, text::kProgramTitle);
}

// ---- reading ---------------------------------------------------------------------------

struct Reader {
    Reader(AnchorTable& t, std::size_t budget, AnchorFileTrace* tr)
        : table(t), entryBudget(budget), trace(tr) {}
    AnchorTable& table;
    std::size_t entryBudget;
    AnchorFileTrace* trace;
    std::size_t lineNo = 0;
    bool haveMax = false;
    std::size_t maxObject = 0;
    std::vector<AnchorRecord> records;
    std::size_t sections = 0;
    AnchorRecord* current = nullptr;
    std::size_t entryIndex = 0;

    void note(ReadNoteKind kind) {
        if (trace) trace->notes.push_back({lineNo, kind});
    }

    void maxObjectLine(std::string_view line) {
        if (haveMax) return; // only the first count counts
        haveMax = true;
        const std::size_t skip = std::min(line.size(), sizeof("MaxObject"));
        int32_t n = ParseDecimal(line.substr(skip));
        if (n > static_cast<int32_t>(kMaxObject)) {
            note(ReadNoteKind::CountOverLimit);
            char message[160];
            std::snprintf(message, sizeof message, "%s%d%s%d%s", text::kOverLimitHead,
                          int(kMaxObject), text::kOverLimitBreak, int(kMaxObject),
                          text::kOverLimitTail);
            show(message);
            n = static_cast<int32_t>(kMaxObject);
        }
        maxObject = n < 0 ? 0 : static_cast<std::size_t>(n);
        allocationPoint(maxObject * sizeof(AnchorRecord));
        records.resize(maxObject);
        for (auto& r : records)
            r.StartFrame = r.EndFrame = 0; // zero-filled records
    }

    // Returns false when reading stops here.
    bool headerLine(std::string_view line) {
        if (!haveMax || sections >= maxObject) {
            note(haveMax ? ReadNoteKind::SectionBeyondCount : ReadNoteKind::SectionBeforeCount);
            return false;
        }
        const cp::Charset charset = cp::active();
        std::string_view fields[4];
        int field = 0;
        std::size_t fieldStart = 1;
        std::size_t pos = 1;
        for (; pos < line.size(); pos = cp::next(line, pos, charset)) {
            if (cp::isMultibyteAt(line, pos, charset)) continue;
            if (line[pos] == ']' && field == 3) break;
            if (line[pos] == ':') {
                if (field < 4) fields[field] = line.substr(fieldStart, pos - fieldStart);
                ++field;
                fieldStart = pos + 1;
            }
        }
        if (field < 4) fields[field] = line.substr(fieldStart, pos - fieldStart);
        if (field < 3) note(ReadNoteKind::HeaderFields);

        AnchorRecord& r = records[sections];
        r.ID = cp::cut(fields[0], kMaxIdBytes, charset);
        r.Name = cp::cut(fields[1], kMaxNameBytes, charset);
        if (r.ID.size() < fields[0].size()) note(ReadNoteKind::IdCut);
        if (r.Name.size() < fields[1].size()) note(ReadNoteKind::NameCut);
        const std::size_t dash = fields[2].find('-');
        if (dash == std::string_view::npos) {
            if (field >= 2) note(ReadNoteKind::RangeWithoutDash);
            r.StartFrame = 0;
            r.EndFrame = ParseDecimal(fields[2]);
        } else {
            r.StartFrame = ParseDecimal(fields[2].substr(0, dash));
            r.EndFrame = ParseDecimal(fields[2].substr(dash + 1));
        }
        const int32_t declared = ParseDecimal(fields[3]);
        const std::size_t wanted = declared < 0 ? std::size_t(0) : std::size_t(declared);
        const std::size_t count = std::min(wanted, entryBudget);
        if (count < wanted) note(ReadNoteKind::EntriesCut);
        entryBudget -= count;
        allocationPoint(count * sizeof(FrameEntry));
        r.Entries.assign(count, FrameEntry{});
        if (trace) {
            trace->headerLines.push_back(lineNo);
            trace->entryLines.emplace_back(count, 0);
        }
        current = &r;
        entryIndex = 0;
        ++sections;
        return true;
    }

    void frameLine(std::string_view line) {
        const bool blank = line.find_first_not_of(" \t") == std::string_view::npos;
        if (!current) {
            if (!blank) note(ReadNoteKind::TextBeforeSection);
            return;
        }
        const cp::Charset charset = cp::active();
        const std::size_t colon = cp::findFirstOf(line, ":", charset);
        if (colon == std::string_view::npos) {
            if (!blank) note(ReadNoteKind::LineWithoutColon);
            return;
        }
        if (entryIndex >= current->Entries.size()) {
            note(ReadNoteKind::FrameLineBeyondCount);
            return;
        }
        if (trace) trace->entryLines.back()[entryIndex] = lineNo;
        FrameEntry& e = current->Entries[entryIndex];
        e.Frame = ParseDecimal(line.substr(0, colon));
        int32_t* const coords[4] = {&e.Left, &e.Top, &e.Right, &e.Bottom};
        const double scales[4] = {table.XScale, table.YScale, table.XScale, table.YScale};
        int k = 0;
        std::size_t tokenStart = colon + 1;
        auto assign = [&](std::size_t end) {
            if (k < 4)
                *coords[k] = ScaleToDisplay(ParseDecimal(line.substr(tokenStart, end - tokenStart)),
                                            scales[k]);
            ++k;
            tokenStart = end + 1;
        };
        for (std::size_t pos = colon + 1; pos < line.size(); pos = cp::next(line, pos, charset)) {
            if (cp::isMultibyteAt(line, pos, charset)) continue;
            if (line[pos] == ',') {
                assign(pos);
            } else if (line[pos] == ';') {
                assign(pos);
                ++entryIndex; // the entry is complete
                return;
            }
        }
        if (tokenStart < line.size()) assign(line.size());
        note(ReadNoteKind::FrameLineOpen);
    }
};

} // namespace

SaveHooks setSaveHooks(SaveHooks h) {
    return std::exchange(hooks(), std::move(h));
}

ReadStatus ReadAnchorFile(AnchorTable& table, const std::string& folder,
                          const std::string& baseName) {
    return ReadAnchorFileAt(table, AnchorFilePath(folder, baseName));
}

ReadStatus ReadAnchorFileAt(AnchorTable& table, const std::string& path, AnchorFileTrace* trace) {
    table.Assign({});
    table.AnchorDataSaved = true;
    if (trace) *trace = {};
    std::size_t size = 0;
    FilePtr file = OpenTextFile(path, &size);
    if (!file) return ReadStatus::NoFile;

    Reader reader(table, kEntrySlack + size / kBytesPerEntry, trace);
    try {
        LineReader lines(file.get(), kAnchorLineBytes);
        std::string piece;
        bool continued = false; // the piece goes on the line of the one before
        while (lines.next(piece)) {
            if (!continued) ++reader.lineNo;
            continued = !lines.endedLine();
            if (continued) reader.note(ReadNoteKind::LineSplit);
            const std::string_view line = withoutLineFeed(piece);
            if (line.starts_with("MaxObject")) {
                reader.maxObjectLine(line);
            } else if (line.starts_with("[")) {
                if (!reader.headerLine(line)) break;
            } else {
                reader.frameLine(line);
            }
        }
        reader.records.resize(reader.sections);
    } catch (const std::bad_alloc&) {
        reader.records.clear();
        if (trace) *trace = {};
        file.reset();
        ShowNoMemory();
        return ReadStatus::NoMemory;
    }
    table.AnchorsCreated = static_cast<int>(reader.records.size());
    table.Assign(std::move(reader.records));
    table.AnchorDataSaved = true;
    return ReadStatus::Ok;
}

// ---- writing ---------------------------------------------------------------------------

namespace {

bool writeRecords(std::FILE* f, const AnchorTable& table, std::size_t count) {
    std::fprintf(f, "MaxObject=%d\r\n", static_cast<int>(count));
    for (const AnchorRecord& r : table.records()) {
        if (!r.complete()) continue;
        std::fprintf(f, "\r\n[%s:%s:%" PRId32 "-%" PRId32 ":%" PRIu32 "]\r\n", r.ID.c_str(),
                     r.Name.c_str(), r.StartFrame, r.EndFrame, r.EntryCount());
        for (const FrameEntry& e : r.Entries) {
            const Rect m = table.ToMovie(e.rect());
            std::fprintf(f, "%" PRId32 ":%d,%d,%d,%d;\r\n", e.Frame, int(m.Left), int(m.Top),
                         int(m.Right), int(m.Bottom));
        }
    }
    return !std::ferror(f) && !injected(SaveStep::Write);
}

// Makes a rename in the folder durable; a failure here loses nothing already written.
void syncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool WriteAnchorFile(AnchorTable& table, const std::string& movieFolder,
                     const std::string& baseName) {
    // A link is followed to the file it names, which is replaced (the link stays); a FIFO, a
    // device or a folder in the file's place is refused before anything is touched.
    std::string target;
    if (replacementTarget(AnchorFilePath(movieFolder, baseName), &target, nullptr) != 0) {
        show(text::kFileOpenError);
        return false;
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::size_t count = table.CompleteCount();

    if (count == 0) {
        const bool removed =
            !injected(SaveStep::Delete) && (::unlink(target.c_str()) == 0 || errno == ENOENT);
        if (!removed) {
            show(text::kFileWriteError);
            return false;
        }
        table.DropIncomplete();
        table.AnchorDataSaved = true;
        return true;
    }

    // A temporary name nobody holds: created exclusively, retried with the time of the next
    // attempt while the name of the current second is taken.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        temp = folder + "/" + std::to_string(nowSeconds()) + ".obj";
        if (injected(SaveStep::Create)) {
            errno = EACCES;
            break;
        }
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) break;
        waitForNextName();
    }
    if (fd < 0) {
        show(text::kFileOpenError);
        return false;
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    FilePtr file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        ::unlink(temp.c_str());
        show(text::kFileOpenError);
        return false;
    }

    bool ok = writeRecords(file.get(), table, count);
    ok = ok && std::fflush(file.get()) == 0 && !injected(SaveStep::Flush);
    ok = ok && ::fsync(fileno(file.get())) == 0 && !injected(SaveStep::Sync);
    const bool closed = std::fclose(file.release()) == 0 && !injected(SaveStep::Close);
    ok = ok && closed;
    ok = ok && !injected(SaveStep::Rename) && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        show(text::kFileWriteError);
        return false;
    }
    syncFolder(folder);

    table.DropIncomplete();
    table.AnchorDataSaved = true;
    return true;
}

AnchorRecord MakeAnchorRecord(std::string id, std::string name, std::vector<FrameEntry> entries) {
    AnchorRecord r;
    r.ID = std::move(id);
    r.Name = std::move(name);
    if (!entries.empty()) {
        r.StartFrame = entries.front().Frame;
        r.EndFrame = entries.back().Frame;
    }
    r.Entries = std::move(entries);
    return r;
}

bool WriteAnchorObjectFile(const std::string& folder, const std::string& baseName,
                           std::vector<AnchorRecord> anchors, double xScale, double yScale) {
    AnchorTable table;
    table.XScale = xScale;
    table.YScale = yScale;
    table.Assign(std::move(anchors));
    return WriteAnchorFile(table, folder, baseName);
}

} // namespace qxm::anchors

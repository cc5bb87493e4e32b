// Feeds thousands of mutated and random files to both readers (fixed seeds, so a failure
// repeats). Each file must read without crashing, within the documented bounds, and
// whatever was read must write and read back consistently.
#include "editor/anchors/AnchorFile.h"
#include "editor/anchors/MovieObjectFile.h"
#include "platform/codepage/CodePage.h"
#include "platform/prompter/Prompter.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace qxm::anchors;
using qxm::anchors::testdata::TempFolder;

namespace {

const char* const kTokens[] = {"[",
                               "]",
                               ":",
                               ",",
                               ";",
                               "-",
                               "\n",
                               "\r\n",
                               "\r",
                               std::string_view("\0", 1).data(),
                               "MaxObject=",
                               "MaxObject=1500",
                               "MaxObject=-1",
                               "4294967295",
                               "99999999999999999999",
                               "-2147483648",
                               "[A:B:0-1:2000000000]\n",
                               "\x82",
                               "\x83\x5D",
                               "\xE3\x81\x82",
                               "StartFrame=",
                               "EndFrame=",
                               "MovieFile=",
                               "clip.avi",
                               "\\",
                               "=",
                               " "};

std::string seedAnchorFile(std::mt19937& rng) {
    std::uniform_int_distribution<int> anchors(0, 6), entries(0, 5), coord(-50, 2000);
    const int n = anchors(rng);
    std::string s = "MaxObject=" + std::to_string(n) + "\r\n";
    for (int a = 0; a < n; ++a) {
        const int m = entries(rng);
        s += "\r\n[ID" + std::to_string(a) + ":Name" + std::to_string(a) + ":0-" +
             std::to_string(m * 10) + ":" + std::to_string(m) + "]\r\n";
        for (int e = 0; e < m; ++e)
            s += std::to_string(e * 10) + ":" + std::to_string(coord(rng)) + "," +
                 std::to_string(coord(rng)) + "," + std::to_string(coord(rng)) + "," +
                 std::to_string(coord(rng)) + ";\r\n";
    }
    return s;
}

std::string seedMobFile(std::mt19937& rng) {
    std::uniform_int_distribution<int> frame(0, 500);
    return "MovieFile=Clip.AVI\r\nStartFrame=" + std::to_string(frame(rng)) +
           "\r\nEndFrame=" + std::to_string(frame(rng)) + "\r\n";
}

std::string mutate(std::string s, std::mt19937& rng) {
    std::uniform_int_distribution<int> op(0, 5), count(1, 8), byte(0, 255);
    const int steps = count(rng);
    for (int i = 0; i < steps; ++i) {
        const std::size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
        switch (op(rng)) {
        case 0: // flip a byte
            if (!s.empty()) s[pos % s.size()] = static_cast<char>(byte(rng));
            break;
        case 1: { // insert a token
            const auto& tok = kTokens[rng() % std::size(kTokens)];
            const std::size_t len = tok[0] == '\0' ? 1 : std::strlen(tok);
            s.insert(pos, tok, len);
            break;
        }
        case 2: // delete a range
            if (!s.empty()) s.erase(pos % s.size(), count(rng));
            break;
        case 3: // duplicate a range
            if (!s.empty()) s.insert(pos, s.substr(pos % s.size(), count(rng) * 8));
            break;
        case 4: // a long run of one byte
            s.insert(pos, std::string(count(rng) * 60, static_cast<char>(byte(rng))));
            break;
        default: // truncate
            s.resize(pos);
            break;
        }
    }
    return s;
}

std::string randomBytes(std::mt19937& rng) {
    std::string s(rng() % 600, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() % 256);
    return s;
}

} // namespace

TEST(AnchorFuzz, AnchorFileReaderSurvivesHostileFiles) {
    TempFolder dir;
    qxm::ScriptedPrompter prompter; // silences the over-the-limit message
    std::mt19937 rng(20261208);
    const double scales[] = {1.0, 0.5, 2.0, 0.0, 1e-9, 3.7};
    int written = 0;
    for (int i = 0; i < 8000; ++i) {
        qxm::codepage::ScopedCharset cs(i % 2 ? qxm::codepage::Charset::Cp932
                                              : qxm::codepage::Charset::Utf8);
        const std::string content =
            i % 5 == 0 ? randomBytes(rng) : mutate(seedAnchorFile(rng), rng);
        dir.write("in.obj", content);
        AnchorTable t;
        t.XScale = scales[rng() % std::size(scales)];
        t.YScale = scales[rng() % std::size(scales)];
        ASSERT_EQ(ReadAnchorFile(t, dir.path(), "in"), ReadStatus::Ok) << i;
        ASSERT_LE(t.size(), kMaxObject);
        std::size_t entries = 0;
        for (const auto& r : t.records()) {
            entries += r.EntryCount();
            ASSERT_LE(r.ID.size(), kMaxIdBytes);
            ASSERT_LE(r.Name.size(), kMaxNameBytes);
        }
        ASSERT_LE(entries, kEntrySlack + content.size() / kBytesPerEntry) << i;

        if (i % 10 == 3) { // what was read writes and reads back with the same shape
            t.XScale = t.YScale = 1.0;
            const std::size_t complete = t.CompleteCount();
            ASSERT_TRUE(WriteAnchorFile(t, dir.path(), "out")) << i;
            AnchorTable back;
            back.XScale = back.YScale = 1.0;
            const ReadStatus st = ReadAnchorFile(back, dir.path(), "out");
            if (complete == 0) {
                EXPECT_EQ(st, ReadStatus::NoFile);
                continue;
            }
            ASSERT_EQ(st, ReadStatus::Ok);
            ASSERT_EQ(back.size(), complete) << i;
            for (std::size_t a = 0; a < complete; ++a) {
                EXPECT_EQ(back[a].ID, t[a].ID) << i;
                EXPECT_EQ(back[a].Name, t[a].Name) << i;
                EXPECT_EQ(back[a].Entries, t[a].Entries) << i;
            }
            ++written;
        }
    }
    EXPECT_GT(written, 50);
}

TEST(AnchorFuzz, MovieObjectFileReaderSurvivesHostileFiles) {
    TempFolder dir;
    dir.write("clip.avi", "movie");
    std::mt19937 rng(808);
    int accepted = 0;
    for (int i = 0; i < 4000; ++i) {
        qxm::codepage::ScopedCharset cs(i % 2 ? qxm::codepage::Charset::Cp932
                                              : qxm::codepage::Charset::Utf8);
        const std::string content = i % 5 == 0 ? randomBytes(rng) : mutate(seedMobFile(rng), rng);
        qxm::ScriptedPrompter prompter;
        const auto mob = ReadMovieObjectFile(dir.write("in.mob", content));
        ASSERT_EQ(prompter.prompts.size(), mob ? 0u : 1u) << i;
        if (mob) {
            EXPECT_LT(mob->StartFrame, mob->EndFrame);
            EXPECT_GE(mob->StartFrame, 0);
            ++accepted;
        }
    }
    EXPECT_GT(accepted, 20);
}

#pragma once
// Helpers of the qxmanchor tests: a private folder, the program run as a separate process,
// test movies, anchor object files written by the editor's writer, and the comparison of two
// files frame by frame as the player control sees them.
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/moviegen/MovieGen.h"
#include "testing/support/TempFolder.h"
#include "tools/anchor/Anchors.h"
#include "tools/anchor/Import.h"

namespace qxm::anchortool::testing {

class TempDir : public testsupport::TempFolder {
public:
    std::string file(const std::string& name) const { return *this / name; }
    std::string write(const std::string& name, const std::string& content) const {
        std::ofstream(file(name), std::ios::binary) << content;
        return file(name);
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

struct ToolRun {
    int exitCode = -1; // -1 when the program did not end normally (a crash)
    std::string out;
    std::string err;
    std::string all() const { return out + err; }
};

// Runs build/bin/qxmanchor with the arguments.
inline ToolRun qxmanchor(const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    QProcess p;
    p.start(QString::fromStdString(std::string(std::getenv("QXM_BIN_DIR")) + "/qxmanchor"), list);
    ToolRun r;
    if (!p.waitForStarted(10000)) return r;
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// A Motion JPEG movie of the given size and length.
inline std::string writeMovie(const TempDir& dir, const std::string& name, int frames,
                              int width = 96, int height = 64) {
    moviegen::MovieRecipe recipe;
    recipe.kind = "avi-mjpeg";
    recipe.width = width;
    recipe.height = height;
    recipe.frames = frames;
    recipe.fps = 25;
    std::string error;
    const std::string path = dir.file(name);
    EXPECT_TRUE(moviegen::writeMovie(path, recipe, error)) << error;
    return path;
}

// An anchor object file written by the editor's writer (checked by the player's reader).
inline std::string writeObj(const TempDir& dir, const std::string& name,
                            const std::vector<Anchor>& anchors) {
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(writeAnchors(path, anchors, error)) << error;
    return path;
}

// Every frame of every anchor of two files has the same rectangle to the player control (or
// none in both); with sameNames, IDs and names agree too.
inline void expectSameRectangles(const std::string& a, const std::string& b,
                                 bool sameNames = true) {
    const PlayerReading ra = readWithPlayer(a), rb = readWithPlayer(b);
    ASSERT_EQ(ra.result, 0);
    ASSERT_EQ(rb.result, 0);
    ASSERT_EQ(ra.anchors.size(), rb.anchors.size());
    for (std::size_t i = 0; i < ra.anchors.size(); ++i) {
        const Anchor& x = ra.anchors[i];
        const Anchor& y = rb.anchors[i];
        if (sameNames) {
            EXPECT_EQ(x.id, y.id);
            EXPECT_EQ(x.name, y.name);
        }
        ASSERT_FALSE(x.entries.empty());
        const std::int64_t first = std::min(x.entries.front().frame, y.entries.front().frame);
        const std::int64_t last = std::max(x.entries.back().frame, y.entries.back().frame);
        for (std::int64_t f = first; f <= last; ++f) {
            AnchorRect rx, ry;
            const bool fx = anchorRectAt(x, std::int32_t(f), rx);
            const bool fy = anchorRectAt(y, std::int32_t(f), ry);
            ASSERT_EQ(fx, fy) << "anchor " << i << " frame " << f;
            ASSERT_EQ(rx, ry) << "anchor " << i << " frame " << f;
        }
    }
}

} // namespace qxm::anchortool::testing

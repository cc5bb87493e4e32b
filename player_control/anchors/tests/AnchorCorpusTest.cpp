// Every file of the shared anchor corpus read with the control's strict reader and compared
// with the results written beside it, which the web player's reader must give as well.
#include "player_control/anchors/DefAnchor.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"

using namespace qxm;

namespace {

namespace fs = std::filesystem;

const char* faultName(AnchorFormatFault f) {
    switch (f) {
    case AnchorFormatFault::None:
        return "None";
    case AnchorFormatFault::HeaderFields:
        return "HeaderFields";
    case AnchorFormatFault::EmptyId:
        return "EmptyId";
    case AnchorFormatFault::RangeWithoutDash:
        return "RangeWithoutDash";
    case AnchorFormatFault::BadRange:
        return "BadRange";
    case AnchorFormatFault::BadCount:
        return "BadCount";
    case AnchorFormatFault::FrameLineFields:
        return "FrameLineFields";
    case AnchorFormatFault::TooManyFrames:
        return "TooManyFrames";
    case AnchorFormatFault::FrameOutsideRange:
        return "FrameOutsideRange";
    case AnchorFormatFault::FrameOutOfOrder:
        return "FrameOutOfOrder";
    case AnchorFormatFault::Memory:
        return "Memory";
    }
    return "?";
}

std::vector<fs::path> corpusFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(QXM_ANCHOR_CORPUS_DIR))
        if (e.path().extension() == ".obj") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

QJsonObject expectation(const fs::path& obj) {
    fs::path json = obj;
    json.replace_extension(".json");
    QFile f(QString::fromStdString(json.string()));
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "no results file " << json;
        return {};
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << json << ": " << error.errorString().toStdString();
    return doc.object();
}

AnchorRect toRect(const QJsonArray& a) {
    return {a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()};
}

std::string rectText(const AnchorRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// QJsonValue::toInt() refuses values beyond int; the corpus keeps within 32 bits.
std::int32_t i32(const QJsonValue& v) {
    return static_cast<std::int32_t>(v.toDouble());
}

TEST(AnchorCorpus, EveryFileGivesItsWrittenResults) {
    codepage::ScopedCharset utf8(codepage::Charset::Utf8);
    const std::vector<fs::path> files = corpusFiles();
    ASSERT_GE(files.size(), 20u) << "corpus folder " << QXM_ANCHOR_CORPUS_DIR;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const QJsonObject exp = expectation(file);
        CDefAnchor store;
        const int result = store.LoadAnchors(file.string());
        ASSERT_EQ(result, exp["result"].toInt());
        if (result != 0) {
            const QJsonObject problem = exp["problem"].toObject();
            EXPECT_EQ(store.LastProblem().line, static_cast<std::size_t>(problem["line"].toInt()));
            EXPECT_EQ(faultName(store.LastProblem().fault),
                      problem["fault"].toString().toStdString());
            EXPECT_EQ(store.Count(), 0);
            continue;
        }
        const QJsonArray anchors = exp["anchors"].toArray();
        ASSERT_EQ(store.Count(), anchors.size());
        for (int i = 0; i < store.Count(); ++i) {
            const QJsonObject a = anchors[i].toObject();
            const DefAnchorRecord& r = *store.Record(store.At(i));
            EXPECT_EQ(r.id, a["id"].toString().toStdString()) << "anchor " << i;
            EXPECT_EQ(r.name, a["name"].toString().toStdString()) << "anchor " << i;
            EXPECT_EQ(r.startFrame, i32(a["start"])) << "anchor " << i;
            EXPECT_EQ(r.endFrame, i32(a["end"])) << "anchor " << i;
            EXPECT_EQ(r.capacity, i32(a["capacity"])) << "anchor " << i;
            const QJsonArray entries = a["entries"].toArray();
            ASSERT_EQ(r.entries.size(), static_cast<std::size_t>(entries.size())) << "anchor " << i;
            for (int k = 0; k < entries.size(); ++k) {
                const QJsonArray e = entries[k].toArray();
                EXPECT_EQ(r.entries[k].frame, i32(e[0])) << "anchor " << i << " entry " << k;
                const AnchorRect want{i32(e[1]), i32(e[2]), i32(e[3]), i32(e[4])};
                EXPECT_EQ(rectText(r.entries[k].rect), rectText(want))
                    << "anchor " << i << " entry " << k;
            }
        }
        for (const QJsonValue& v : exp["rects"].toArray()) {
            const QJsonArray c = v.toArray();
            const int index = c[0].toInt();
            const std::int32_t frame = i32(c[1]);
            AnchorRect rect;
            const bool found = store.FindAnchorAt(store.At(index), frame, {}, false, rect);
            if (c[2].isNull()) {
                EXPECT_FALSE(found)
                    << "anchor " << index << " frame " << frame << " gave " << rectText(rect);
                EXPECT_EQ(rect, AnchorRect{});
            } else {
                EXPECT_TRUE(found) << "anchor " << index << " frame " << frame;
                EXPECT_EQ(rectText(rect), rectText(toRect(c[2].toArray())))
                    << "anchor " << index << " frame " << frame;
            }
        }
        for (const QJsonValue& v : exp["hits"].toArray()) {
            const QJsonArray c = v.toArray();
            const std::int32_t frame = i32(c[0]);
            const AnchorPoint point{i32(c[1]), i32(c[2])};
            const std::string filter = c[3].toString().toStdString();
            const AnchorRef hit = store.HitTestAnchors(frame, point, filter);
            EXPECT_EQ(hit.index, c[4].toInt()) << "frame " << frame << " at " << point.x << ","
                                               << point.y << " filter '" << filter << "'";
        }
    }
}

} // namespace

// What qxmanchor writes, held against the formats' published descriptions, and hand-written
// files of those formats read back.
#include "ToolTestUtil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <map>

using namespace qxm;
using namespace qxm::anchortool;
using namespace qxm::anchortool::testing;

namespace {

// A 30-frame movie with an anchor that ends before the movie does, one that lasts to its last
// frame and one of a single key frame.
class ExportedFormats : public ::testing::Test {
protected:
    void SetUp() override {
        movie_ = writeMovie(dir_, "clip.avi", 30);
        obj_ = writeObj(dir_, "clip.obj",
                        {makeAnchor("CAR", "car", {{0, {0, 0, 10, 10}}, {10, {10, 0, 20, 10}}}),
                         makeAnchor("BALL", "ball", {{5, {1, 1, 3, 3}}, {29, {-4, 60, 200, 90}}}),
                         makeAnchor("DOT", "car", {{3, {7, 7, 8, 8}}})});
    }
    std::string exported(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"export", obj_, "--movie", movie_};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolRun r = qxmanchor(args);
        EXPECT_EQ(r.exitCode, 0) << r.all();
        return r.out;
    }
    TempDir dir_;
    std::string movie_, obj_;
};

struct CvatBox {
    int frame;
    bool outside, key;
    std::string xtl, id;
};

struct CvatTrack {
    std::string label;
    std::vector<CvatBox> boxes;
};

} // namespace

// Checked against the CVAT for video 1.1 description: root <annotations> with <version>1.1,
// <meta><task> holding size, mode interpolation, labels with their attributes, segments and
// original_size; one <track id label> per object whose <box> elements carry frame, outside,
// occluded, keyframe, xtl, ytl, xbr, ybr (floats) and z_order, attributes as child elements.
TEST_F(ExportedFormats, CvatIsCvatForVideo11) {
    for (const bool frames : {false, true}) {
        SCOPED_TRACE(frames ? "--frames" : "key frames");
        std::vector<std::string> args = {"--to", "cvat"};
        if (frames) args.push_back("--frames");
        const std::string text = exported(args);
        QXmlStreamReader xml(QByteArray::fromStdString(text));
        std::map<std::string, std::string> task;
        std::vector<std::string> labels, labelAttributes;
        std::vector<CvatTrack> tracks;
        std::string version, path;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                path += "/" + xml.name().toString().toStdString();
                const QXmlStreamAttributes a = xml.attributes();
                if (path == "/annotations/track") {
                    tracks.push_back(
                        {a.value(QLatin1String("label")).toString().toStdString(), {}});
                    EXPECT_EQ(a.value(QLatin1String("id")).toString().toStdString(),
                              std::to_string(tracks.size() - 1));
                } else if (path == "/annotations/track/box") {
                    for (const char* name : {"frame", "outside", "occluded", "keyframe", "xtl",
                                             "ytl", "xbr", "ybr", "z_order"})
                        EXPECT_TRUE(a.hasAttribute(QLatin1String(name))) << name;
                    tracks.back().boxes.push_back(
                        {a.value(QLatin1String("frame")).toInt(),
                         a.value(QLatin1String("outside")) == QLatin1String("1"),
                         a.value(QLatin1String("keyframe")) == QLatin1String("1"),
                         a.value(QLatin1String("xtl")).toString().toStdString(),
                         {}});
                } else if (path == "/annotations/track/box/attribute") {
                    EXPECT_EQ(a.value(QLatin1String("name")), QLatin1String("anchor_id"));
                    tracks.back().boxes.back().id = xml.readElementText().toStdString();
                    path.resize(path.rfind('/'));
                } else if (path == "/annotations/version") {
                    version = xml.readElementText().toStdString();
                    path.resize(path.rfind('/'));
                } else if (path == "/annotations/meta/task/labels/label/name") {
                    labels.push_back(xml.readElementText().toStdString());
                    path.resize(path.rfind('/'));
                } else if (path ==
                           "/annotations/meta/task/labels/label/attributes/attribute/name") {
                    labelAttributes.push_back(xml.readElementText().toStdString());
                    path.resize(path.rfind('/'));
                } else if (path.starts_with("/annotations/meta/task/") &&
                           path.find("labels") == std::string::npos &&
                           path.find("segments") == std::string::npos &&
                           path.find("owner") == std::string::npos) {
                    const std::string key =
                        path.substr(std::string("/annotations/meta/task/").size());
                    if (key != "original_size") {
                        task[key] = xml.readElementText().toStdString();
                        path.resize(path.rfind('/'));
                    }
                }
            } else if (xml.isEndElement()) {
                path.resize(path.rfind('/'));
            }
        }
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(version, "1.1");
        EXPECT_EQ(task["mode"], "interpolation");
        EXPECT_EQ(task["size"], "30");
        EXPECT_EQ(task["original_size/width"], "96");
        EXPECT_EQ(task["original_size/height"], "64");
        EXPECT_EQ(task["flipped"], "False");
        EXPECT_EQ(labels, (std::vector<std::string>{"car", "ball"}));
        EXPECT_EQ(labelAttributes, (std::vector<std::string>{"anchor_id", "anchor_id"}));
        ASSERT_EQ(tracks.size(), 3u);
        EXPECT_EQ(tracks[0].label, "car");
        EXPECT_EQ(tracks[2].label, "car");

        // CAR: key boxes at 0 and 10 (with --frames the nine between as keyframe="0"), then
        // outside="1" at 11. BALL lasts to the last frame: no outside box. DOT: one frame.
        const auto& car = tracks[0].boxes;
        ASSERT_EQ(car.size(), frames ? 12u : 3u);
        EXPECT_EQ(car.front().frame, 0);
        EXPECT_EQ(car.front().xtl, "0.00");
        EXPECT_TRUE(car.front().key);
        for (std::size_t i = 1; i + 2 < car.size(); ++i)
            EXPECT_FALSE(car[i].key || car[i].outside) << i;
        EXPECT_EQ(car[car.size() - 2].frame, 10);
        EXPECT_EQ(car.back().frame, 11);
        EXPECT_TRUE(car.back().outside && car.back().key);
        EXPECT_EQ(car.back().id, "CAR");
        EXPECT_FALSE(tracks[1].boxes.back().outside);
        EXPECT_EQ(tracks[1].boxes.back().frame, 29);
        EXPECT_EQ(tracks[1].boxes.back().xtl, "-4.00");
        ASSERT_EQ(tracks[2].boxes.size(), 2u);
        EXPECT_EQ(tracks[2].boxes[1].frame, 4);
        EXPECT_TRUE(tracks[2].boxes[1].outside);
    }
}

TEST_F(ExportedFormats, MotHasALinePerFrameAndAnchorFromFrameOne) {
    const std::string text = exported({"--to", "mot", "--origin", "2"});
    std::vector<std::string> lines;
    for (std::size_t p = 0, n; (n = text.find('\n', p)) != std::string::npos; p = n + 1)
        lines.push_back(text.substr(p, n - p));
    // Origin 2 moves BALL's last frame 29 to movie frame 31, past the movie's end.
    ASSERT_EQ(lines.size(), 11u + 23u + 1u);
    EXPECT_EQ(lines[0], "3,1,0,0,10,10,1,-1,-1,-1");
    EXPECT_EQ(lines[1], "4,1,1,0,10,10,1,-1,-1,-1");
    EXPECT_EQ(lines[11], "8,2,1,1,2,2,1,-1,-1,-1");
    EXPECT_EQ(lines.back(), "6,3,7,7,1,1,1,-1,-1,-1");
}

TEST_F(ExportedFormats, WebVttCuesRunInTimeOrderWithJsonPayloads) {
    const std::string text = exported({"--to", "webvtt"});
    ASSERT_TRUE(text.starts_with("WEBVTT\n\n"));
    // The note holds no "-->": the first one is the first cue's.
    EXPECT_EQ(text.find("-->"), text.find("00:00:00.000 -->") + 13);
    std::vector<std::string> blocks;
    for (std::size_t p = 0, n; (n = text.find("\n\n", p)) != std::string::npos; p = n + 2)
        blocks.push_back(text.substr(p, n - p));
    std::string lastStart;
    std::map<std::string, int> frames;
    int cues = 0;
    for (const std::string& b : blocks) {
        const std::size_t arrow = b.find(" --> ");
        if (arrow == std::string::npos) continue;
        ++cues;
        const std::string start = b.substr(0, arrow);
        const std::string end = b.substr(arrow + 5, 12);
        EXPECT_GE(start, lastStart);
        EXPECT_LT(start, end);
        lastStart = start;
        const QJsonObject o =
            QJsonDocument::fromJson(QByteArray::fromStdString(b.substr(b.find('\n') + 1))).object();
        ASSERT_FALSE(o.isEmpty()) << b;
        frames[o["id"].toString().toStdString()] +=
            o["lastFrame"].toInt() - o["firstFrame"].toInt() + 1;
        if (o["id"].toString() == QLatin1String("DOT")) {
            EXPECT_EQ(start, "00:00:00.120");
            EXPECT_EQ(end, "00:00:00.160");
            EXPECT_EQ(o["left"].toInt(), 7);
            EXPECT_EQ(o["bottom"].toInt(), 8);
        }
    }
    EXPECT_EQ(frames, (std::map<std::string, int>{{"BALL", 25}, {"CAR", 11}, {"DOT", 1}}));
    EXPECT_LT(cues, 11 + 25 + 1 + 1); // CAR's top stays 0 while left moves: runs, not frames
}

TEST_F(ExportedFormats, CocoHasVideosImagesTracksAndAnAnnotationPerFrame) {
    const QJsonObject coco =
        QJsonDocument::fromJson(QByteArray::fromStdString(exported({"--to", "coco"}))).object();
    ASSERT_FALSE(coco.isEmpty());
    EXPECT_EQ(coco["videos"].toArray().size(), 1);
    EXPECT_EQ(coco["videos"][0]["width"].toInt(), 96);
    EXPECT_EQ(coco["images"].toArray().size(), 30);
    EXPECT_EQ(coco["images"][3]["frame_id"].toInt(), 3);
    EXPECT_EQ(coco["categories"].toArray().size(), 2); // car, ball
    const QJsonArray tracks = coco["tracks"].toArray();
    ASSERT_EQ(tracks.size(), 3);
    EXPECT_EQ(tracks[2]["anchor_id"].toString(), QLatin1String("DOT"));
    EXPECT_EQ(tracks[2]["category_id"].toInt(), tracks[0]["category_id"].toInt());
    const QJsonArray annotations = coco["annotations"].toArray();
    ASSERT_EQ(annotations.size(), 11 + 25 + 1);
    const QJsonObject dot = annotations.last().toObject();
    EXPECT_EQ(dot["image_id"].toInt(), 4);
    EXPECT_EQ(dot["track_id"].toInt(), 3);
    EXPECT_EQ(dot["bbox"].toArray(), (QJsonArray{7, 7, 1, 1}));
    EXPECT_EQ(dot["area"].toInt(), 1);
}

// The JSON written carries every member the schema in docs/ requires, and nothing the schema
// does not name.
TEST_F(ExportedFormats, JsonFollowsItsSchema) {
    QFile schemaFile(QStringLiteral(QXM_ANCHOR_SCHEMA));
    ASSERT_TRUE(schemaFile.open(QIODevice::ReadOnly));
    const QJsonObject schema = QJsonDocument::fromJson(schemaFile.readAll()).object();
    ASSERT_FALSE(schema.isEmpty());
    const QJsonObject anchorSchema = schema["$defs"]["anchor"].toObject();
    const QJsonObject movieSchema = schema["$defs"]["movie"].toObject();
    const QJsonObject doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(exported({"--to", "json", "--frames"})))
            .object();
    const auto conforms = [](const QJsonObject& value, const QJsonObject& s) {
        for (const QJsonValue& r : s["required"].toArray())
            EXPECT_TRUE(value.contains(r.toString())) << r.toString().toStdString();
        for (const QString& key : value.keys())
            EXPECT_TRUE(s["properties"].toObject().contains(key)) << key.toStdString();
    };
    conforms(doc, schema);
    conforms(doc["movie"].toObject(), movieSchema);
    EXPECT_EQ(doc["movie"]["frameRate"]["num"].toInt(), 25);
    const QJsonArray anchors = doc["anchors"].toArray();
    ASSERT_EQ(anchors.size(), 3);
    for (const QJsonValue& a : anchors)
        conforms(a.toObject(), anchorSchema);
    EXPECT_EQ(anchors[0]["keyFrames"].toArray().size(), 2);
    EXPECT_EQ(anchors[0]["frames"].toArray().size(), 11);
    EXPECT_EQ(anchors[0]["frames"][5].toArray(), (QJsonArray{5, 5, 0, 15, 10}));
}

TEST_F(ExportedFormats, AMovieObjectFileSetsTheOrigin) {
    dir_.write("clip.mob", "MovieFile=clip.avi\nStartFrame=4\nEndFrame=29\n");
    const ToolRun r = qxmanchor({"export", "--to", "mot", obj_, "--movie", dir_.file("clip.mob")});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_TRUE(r.out.starts_with("5,1,0,0,10,10,")) << r.out.substr(0, 80);
    const ToolRun bad =
        qxmanchor({"export", "--to", "webvtt", obj_, "--movie",
                   dir_.write("bad.mob", "MovieFile=clip.wav\nStartFrame=1\nEndFrame=2\n")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("Invalid Movie File name description"), std::string::npos) << bad.err;
}

// ---- hand-written files of the formats -------------------------------------------------

namespace {

// The key frames as "frame:left,top,right,bottom".
std::vector<std::string> keysOf(const Anchor& a) {
    std::vector<std::string> out;
    for (const AnchorFrameEntry& e : a.entries)
        out.push_back(std::to_string(e.frame) + ":" + std::to_string(e.rect.left) + "," +
                      std::to_string(e.rect.top) + "," + std::to_string(e.rect.right) + "," +
                      std::to_string(e.rect.bottom));
    return out;
}

} // namespace

// Written after the CVAT for video 1.1 example: a track that leaves the picture and comes
// back, occluded boxes, a polygon, the last box holding to the task's end, and a box hidden
// by a later outside one.
TEST(HandWrittenFormats, CvatForVideoTracksBecomeAnchors) {
    TempDir dir;
    const std::string xml = R"(<?xml version="1.0" encoding="utf-8"?>
<annotations>
  <version>1.1</version>
  <meta>
    <task>
      <id>5</id>
      <name>interpolation</name>
      <size>30</size>
      <mode>interpolation</mode>
      <overlap>5</overlap>
      <bugtracker></bugtracker>
      <flipped>False</flipped>
      <created>2018-09-25 12:32:09.868194+03:00</created>
      <updated>2018-09-25 16:05:05.619841+03:00</updated>
      <labels>
        <label><name>car</name><attributes></attributes></label>
        <label><name>person</name><attributes></attributes></label>
      </labels>
      <segments>
        <segment><id>5</id><start>0</start><stop>29</stop><url>http://localhost:8080/?id=5</url></segment>
      </segments>
      <owner><username>admin</username><email></email></owner>
      <original_size><width>640</width><height>480</height></original_size>
    </task>
    <dumped>2018-09-25 16:05:07.134046+03:00</dumped>
  </meta>
  <track id="0" label="car">
    <box frame="10" xtl="30.0" ytl="20.0" xbr="70.0" ybr="60.0" outside="0" occluded="1" keyframe="1"></box>
    <box frame="0" xtl="10.5" ytl="20.0" xbr="50.0" ybr="60.0" outside="0" occluded="0" keyframe="1"></box>
    <box frame="11" xtl="30.0" ytl="20.0" xbr="70.0" ybr="60.0" outside="1" occluded="0" keyframe="1"></box>
    <box frame="20" xtl="100" ytl="100" xbr="140" ybr="130" outside="0" occluded="0" keyframe="1"></box>
  </track>
  <track id="1" label="person">
    <polygon frame="0" points="324.79,213.16;323.74,227.90;347.42,237.37" outside="0" occluded="0" keyframe="1"></polygon>
    <box frame="5" xtl="0" ytl="0" xbr="30" ybr="30" outside="0" occluded="0" keyframe="1"></box>
    <box frame="8" xtl="30" ytl="0" xbr="60" ybr="30" outside="1" occluded="0" keyframe="1"></box>
  </track>
</annotations>
)";
    const ToolRun r = qxmanchor(
        {"import", "--from", "cvat", dir.write("in.xml", xml), "-o", dir.file("out.obj")});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_NE(r.err.find("track 0 leaves the picture and comes back: it becomes 2 anchors"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("track 1: 1 shapes that are no boxes are left out"), std::string::npos);
    EXPECT_NE(r.err.find("track 0: ID \"0\" becomes \"0_2\" (another anchor has that ID)"),
              std::string::npos)
        << r.err;
    const PlayerReading back = readWithPlayer(dir.file("out.obj"));
    ASSERT_EQ(back.result, 0);
    ASSERT_EQ(back.anchors.size(), 3u);
    EXPECT_EQ(back.anchors[0].id, "0");
    EXPECT_EQ(back.anchors[0].name, "car");
    EXPECT_EQ(keysOf(back.anchors[0]),
              (std::vector<std::string>{"0:11,20,50,60", "10:30,20,70,60"}));
    EXPECT_EQ(back.anchors[1].id, "0_2");
    EXPECT_EQ(keysOf(back.anchors[1]),
              (std::vector<std::string>{"20:100,100,140,130", "29:100,100,140,130"}));
    EXPECT_EQ(back.anchors[2].name, "person");
    // Shown at frames 5 to 7, on its way to the box that hides it at 8.
    EXPECT_EQ(keysOf(back.anchors[2]), (std::vector<std::string>{"5:0,0,30,30", "7:20,0,50,30"}));
}

// MOT Challenge ground truth as its description gives it: 9 columns (MOT16 and later), 10
// (2D MOT 2015, world coordinates -1), or the 6 that carry the box; fractional boxes; a track
// that is missing for some frames.
TEST(HandWrittenFormats, MotTracksBecomeAnchorsWithTheFewestKeyFrames) {
    TempDir dir;
    const std::string mot = "1,1,100,200,50,80,1,1,0.9\n"
                            "2,1,102,200,50,80,1,1,0.9\n"
                            "3,1,104,200,50,80,1,1,0.85\n"
                            "4,1,106,200,50,80,1,1,0.8\n"
                            "\n"
                            "1, 2, 10.6, 20, 30, 40, 0, 7, 1\n"
                            "2,2,10.6,20,30,40,-1,-1,-1,-1\n"
                            "6,2,12,22,30,40\n"
                            "5,7,0,0,4,4\r\n";
    const ToolRun r = qxmanchor({"import", "--from", "mot", dir.write("gt.txt", mot), "-o",
                                 dir.file("gt.obj"), "--origin", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    EXPECT_NE(r.err.find("track 2 leaves the picture and comes back: it becomes 2 anchors"),
              std::string::npos)
        << r.err;
    const PlayerReading back = readWithPlayer(dir.file("gt.obj"));
    ASSERT_EQ(back.anchors.size(), 4u);
    EXPECT_EQ(back.anchors[0].id, "1");
    EXPECT_EQ(back.anchors[0].name, "track1");
    EXPECT_EQ(keysOf(back.anchors[0]),
              (std::vector<std::string>{"0:100,200,150,280", "3:106,200,156,280"}));
    EXPECT_EQ(keysOf(back.anchors[1]),
              (std::vector<std::string>{"0:11,20,41,60", "1:11,20,41,60"}));
    EXPECT_EQ(back.anchors[2].id, "2_2");
    EXPECT_EQ(keysOf(back.anchors[2]), (std::vector<std::string>{"5:12,22,42,62"}));
    EXPECT_EQ(keysOf(back.anchors[3]), (std::vector<std::string>{"4:0,0,4,4"}));
}

// IDs and names from elsewhere follow the editor's rules, each change told.
TEST(HandWrittenFormats, ImportedIdsAndNamesFollowTheEditorsRules) {
    TempDir dir;
    const std::string json =
        R"({"format": "qxm-anchors", "version": 1, "anchors": [
  {"id": "my car", "name": "Red car, left", "keyFrames": [[0, 1, 1, 5, 5]]},
  {"id": "", "name": "", "keyFrames": [[0, 1, 1, 5, 5]]},
  {"id": "ABCDEFGHIJKL", "name": "n", "keyFrames": [[0, 1, 1, 5, 5]]},
  {"id": "X", "name": "a:b", "startFrame": 0, "endFrame": 9, "keyFrames": [[2, 1, 1, 5, 5]],
   "comment": {"ignored": [1, 2, {"deep": null}]}},
  {"id": "X", "name": "x", "frames": [[0, 0, 0, 2, 2], [1, 1, 0, 3, 2], [2, 2, 0, 4, 2]]}
]})";
    const ToolRun r = qxmanchor(
        {"import", "--from", "json", dir.write("in.json", json), "-o", dir.file("out.obj")});
    ASSERT_EQ(r.exitCode, 0) << r.all();
    for (const char* warning :
         {"anchor 1: ID \"my car\" becomes \"my_car\"",
          "anchor 1: name \"Red car, left\" becomes "
          "\"Red_car__left\"",
          "anchor 2: ID \"\" becomes \"A2\" (an ID cannot be empty)",
          "anchor 2: name \"\" becomes \"A2\"",
          "anchor 3: ID \"ABCDEFGHIJKL\" becomes \"ABCDEFGHIJ\" (an ID has at most 10 bytes)",
          "anchor 3: the player control reads only the first 9 bytes of ID \"ABCDEFGHIJ\"",
          "anchor 5: ID \"X\" becomes \"X_2\""})
        EXPECT_NE(r.err.find(warning), std::string::npos) << warning << "\n" << r.err;
    const std::string written = dir.read("out.obj");
    for (const char* line :
         {"[my_car:Red_car__left:0-0:1]", "[A2:A2:0-0:1]", "[ABCDEFGHIJ:n:0-0:1]",
          "[X:a_b:0-9:1]\r\n2:1,1,5,5;", "[X_2:x:0-2:2]\r\n0:0,0,2,2;\r\n2:2,0,4,2;"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
}

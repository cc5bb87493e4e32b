// CVAT for video 1.1 XML: <annotations> with <meta><task><size> and one <track> per object,
// whose <box> elements carry frame, xtl, ytl, xbr, ybr, outside and keyframe. A track is seen
// from its first box on; each keyframe box holds until the next one (interpolated between),
// outside="1" hides it from that frame, and the last box holds to the task's last frame.
#include "tools/anchor/Import.h"

#include "editor/anchors/AnchorTable.h"
#include "tools/anchor/Text.h"
#include "tools/anchor/ToolText.h"

#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace qxm::anchortool {
namespace {

struct Box {
    std::int64_t frame = 0;
    double xtl = 0, ytl = 0, xbr = 0, ybr = 0;
    bool outside = false;
    bool key = true;
};

std::string utf8(QStringView s) {
    return s.toString().toStdString();
}

class CvatImport {
public:
    CvatImport(QXmlStreamReader& xml, const std::string& path, std::int64_t origin,
               std::vector<Track>& tracks, std::vector<std::string>& warnings, std::string& error)
        : xml_(xml), path_(path), origin_(origin), tracks_(tracks), warnings_(warnings),
          error_(error) {}

    bool run() {
        if (!xml_.readNextStartElement()) return xmlError();
        if (xml_.name() != u"annotations") return fail(fill(text::kCvatRoot, {utf8(xml_.name())}));
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"version") {
                const QString v = xml_.readElementText();
                if (!v.startsWith(u"1."))
                    warnings_.push_back(fill(text::kCvatVersion, {v.toStdString()}));
            } else if (xml_.name() == u"meta") {
                if (!meta()) return false;
            } else if (xml_.name() == u"track") {
                if (!track()) return false;
            } else if (xml_.name() == u"image") {
                return fail(text::kCvatImages);
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (xml_.hasError()) return xmlError();
        // Nothing may follow the root element but what XML allows there.
        while (!xml_.atEnd())
            xml_.readNext();
        if (xml_.hasError()) return xmlError();
        for (PendingTrack& p : pending_)
            if (!finish(p)) return false;
        return true;
    }

private:
    struct PendingTrack {
        std::string number; // the track's id attribute
        std::string label;
        std::string anchorId;
        std::vector<Box> boxes;
        std::size_t otherShapes = 0;
    };

    bool fail(const std::string& what) {
        error_ = path_ + ":" + std::to_string(xml_.lineNumber()) + ": " + what;
        return false;
    }
    bool xmlError() {
        if (!xml_.hasError()) return fail(text::kCvatEmpty);
        return fail(fill(text::kCvatXml, {xml_.errorString().toStdString()}));
    }

    bool meta() {
        // meta/task/size: the frames of the task.
        int depth = 1;
        while (depth > 0 && !xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement()) {
                if (xml_.name() == u"size" && depth == 2) {
                    bool ok = false;
                    const qlonglong n = xml_.readElementText().trimmed().toLongLong(&ok);
                    if (ok && n > 0) size_ = n;
                    continue;
                }
                ++depth;
            } else if (xml_.isEndElement()) {
                --depth;
            }
        }
        return !xml_.hasError() || xmlError();
    }

    bool number(const QXmlStreamAttributes& a, QLatin1String name, double& out, bool required) {
        if (!a.hasAttribute(name)) {
            if (required)
                return fail(fill(text::kCvatAttribute,
                                 {std::string(name.data(), std::size_t(name.size()))}));
            return true;
        }
        bool ok = false;
        out = a.value(name).toDouble(&ok);
        if (!ok || !std::isfinite(out))
            return fail(fill(text::kCvatNumber, {std::string(name.data(), std::size_t(name.size())),
                                                 utf8(a.value(name))}));
        return true;
    }

    bool flag(const QXmlStreamAttributes& a, QLatin1String name, bool& out) {
        if (!a.hasAttribute(name)) return true;
        const QStringView v = a.value(name);
        if (v == u"1" || v == u"true" || v == u"True")
            out = true;
        else if (v == u"0" || v == u"false" || v == u"False")
            out = false;
        else
            return fail(fill(text::kCvatFlag,
                             {std::string(name.data(), std::size_t(name.size())), utf8(v)}));
        return true;
    }

    bool track() {
        if (pending_.size() == anchors::kMaxObject) {
            error_ = fill(text::kTooManyTracks, {path_, std::to_string(anchors::kMaxObject)});
            return false;
        }
        PendingTrack p;
        const QXmlStreamAttributes attributes = xml_.attributes();
        p.number = utf8(attributes.value(QLatin1String("id")));
        if (p.number.empty()) p.number = std::to_string(pending_.size());
        p.label = utf8(attributes.value(QLatin1String("label")));
        while (xml_.readNextStartElement()) {
            if (xml_.name() != u"box") {
                ++p.otherShapes;
                xml_.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes a = xml_.attributes();
            Box b;
            double frame = 0;
            if (!number(a, QLatin1String("frame"), frame, true) ||
                !number(a, QLatin1String("xtl"), b.xtl, true) ||
                !number(a, QLatin1String("ytl"), b.ytl, true) ||
                !number(a, QLatin1String("xbr"), b.xbr, true) ||
                !number(a, QLatin1String("ybr"), b.ybr, true) ||
                !flag(a, QLatin1String("outside"), b.outside) ||
                !flag(a, QLatin1String("keyframe"), b.key))
                return false;
            if (frame != std::floor(frame) || frame < 0 || frame > 4294967296.0)
                return fail(
                    fill(text::kCvatNumber, {"frame", utf8(a.value(QLatin1String("frame")))}));
            b.frame = static_cast<std::int64_t>(frame);
            // The ID travels as an attribute of the boxes.
            while (xml_.readNextStartElement()) {
                if (xml_.name() == u"attribute" && xml_.attributes().value(QLatin1String("name")) ==
                                                       QLatin1String(text::kCvatIdAttribute)) {
                    const std::string id = xml_.readElementText().toStdString();
                    if (p.anchorId.empty()) p.anchorId = id;
                } else {
                    xml_.skipCurrentElement();
                }
            }
            if (xml_.hasError()) return xmlError();
            p.boxes.push_back(b);
        }
        if (xml_.hasError()) return xmlError();
        pending_.push_back(std::move(p));
        return true;
    }

    static bool toRect(const Box& b, AnchorRect& r) {
        const double v[4] = {std::round(b.xtl), std::round(b.ytl), std::round(b.xbr),
                             std::round(b.ybr)};
        for (const double c : v)
            if (c < std::numeric_limits<std::int32_t>::min() ||
                c > std::numeric_limits<std::int32_t>::max())
                return false;
        r = {static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]),
             static_cast<std::int32_t>(v[2]), static_cast<std::int32_t>(v[3])};
        return true;
    }

    // The boxes of one track to one track per stretch in the picture.
    bool finish(PendingTrack& p) {
        const std::string label = fill(text::kCvatTrackLabel, {p.number});
        if (p.otherShapes)
            warnings_.push_back(
                fill(text::kCvatOtherShapes, {label, std::to_string(p.otherShapes)}));
        std::stable_sort(p.boxes.begin(), p.boxes.end(),
                         [](const Box& a, const Box& b) { return a.frame < b.frame; });
        bool bad = false;
        for (std::size_t i = 1; i < p.boxes.size(); ++i)
            bad = bad || p.boxes[i].frame == p.boxes[i - 1].frame;
        if (bad) {
            error_ = path_ + ": " + fill(text::kCvatSameFrame, {label});
            return false;
        }
        const std::string utf8Id = p.anchorId.empty() ? p.number : p.anchorId;
        bool lossy = false;
        const std::string id = fromUtf8(utf8Id, &lossy);
        const std::string name = fromUtf8(p.label, &lossy);
        if (lossy) warnings_.push_back(fill(text::kNotInCodePage, {label, quotedText(id)}));

        std::vector<std::vector<Sample>> stretches;
        bool visible = false;
        const Box* previous = nullptr;
        for (const Box& b : p.boxes) {
            AnchorRect r;
            if (!toRect(b, r)) {
                error_ = path_ + ": " + fill(text::kCvatBoxRange, {label, std::to_string(b.frame)});
                return false;
            }
            if (b.outside) {
                // Frames between the last box and the one that hides it are still shown,
                // on their way to the hidden box.
                if (visible && previous && b.frame > previous->frame + 1) {
                    const double t =
                        double(b.frame - 1 - previous->frame) / double(b.frame - previous->frame);
                    Box mid = *previous;
                    mid.frame = b.frame - 1;
                    mid.xtl += (b.xtl - previous->xtl) * t;
                    mid.ytl += (b.ytl - previous->ytl) * t;
                    mid.xbr += (b.xbr - previous->xbr) * t;
                    mid.ybr += (b.ybr - previous->ybr) * t;
                    AnchorRect m;
                    toRect(mid, m);
                    stretches.back().push_back({mid.frame - origin_, m, true});
                }
                visible = false;
            } else {
                if (!visible) stretches.emplace_back();
                visible = true;
                stretches.back().push_back({b.frame - origin_, r, b.key});
            }
            previous = &b;
        }
        if (visible && size_ && previous->frame < *size_ - 1) {
            AnchorRect r;
            toRect(*previous, r);
            stretches.back().push_back({*size_ - 1 - origin_, r, true});
        }
        if (stretches.empty()) {
            warnings_.push_back(fill(text::kTrackEmpty, {label}));
            return true;
        }
        if (stretches.size() > 1)
            warnings_.push_back(fill(text::kTrackSplit, {label, std::to_string(stretches.size())}));
        for (std::vector<Sample>& s : stretches) {
            Track t;
            t.label = label;
            t.id = id;
            t.name = name;
            // The stretch ends are where the track appears and disappears: they stay.
            s.front().key = s.back().key = true;
            t.samples = std::move(s);
            tracks_.push_back(std::move(t));
        }
        return true;
    }

    QXmlStreamReader& xml_;
    const std::string& path_;
    std::int64_t origin_;
    std::vector<Track>& tracks_;
    std::vector<std::string>& warnings_;
    std::string& error_;
    std::optional<std::int64_t> size_;
    std::vector<PendingTrack> pending_;
};

} // namespace

bool readCvatTracks(const std::string& path, std::int64_t origin, std::vector<Track>& tracks,
                    std::vector<std::string>& warnings, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = fill(text::kCannotRead, {path});
        return false;
    }
    QXmlStreamReader xml(&file);
    return CvatImport(xml, path, origin, tracks, warnings, error).run();
}

} // namespace qxm::anchortool

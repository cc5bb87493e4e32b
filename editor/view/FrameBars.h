#pragma once
// The two bars under the picture: FrameBar, a sunken white strip with a line at the current
// anchor's Starting and Ending Frames, and MarksBar, a triangle for each of its key frames
// (the selected one red). Both paint from the shared state whenever they are repainted.
#include <QFrame>

#include "editor/view/EditState.h"

namespace qxm::editor {

class FrameBarBase : public QFrame {
public:
    FrameBarBase(const EditorContext& context, const int32_t& frameSpan, QWidget* parent)
        : QFrame(parent), context_(context), frameSpan_(frameSpan) {}

protected:
    // The current anchor while the state shows one, else null.
    const anchors::AnchorRecord* shownAnchor() const;
    const EditorContext& context_;
    const int32_t& frameSpan_;
};

class FrameBar : public FrameBarBase {
public:
    FrameBar(const EditorContext& context, const int32_t& frameSpan, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class MarksBar : public FrameBarBase {
public:
    using FrameBarBase::FrameBarBase;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qxm::editor

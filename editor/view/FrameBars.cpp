#include "editor/view/FrameBars.h"

#include <QPainter>
#include <QPolygon>

#include "editor/view/FrameMath.h"

namespace qxm::editor {

const anchors::AnchorRecord* FrameBarBase::shownAnchor() const {
    // Not MovieOpen: a drag in the picture clears it while the bars still show the anchor.
    const int current = context_.table.CurrentAnchor;
    if (current < 0 || std::size_t(current) >= context_.table.size()) return nullptr;
    return &context_.table[std::size_t(current)];
}

FrameBar::FrameBar(const EditorContext& context, const int32_t& frameSpan, QWidget* parent)
    : FrameBarBase(context, frameSpan, parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void FrameBar::paintEvent(QPaintEvent* event) {
    const QRect client = contentsRect();
    {
        QPainter painter(this);
        painter.fillRect(client, Qt::white);
    }
    QFrame::paintEvent(event);
    const anchors::AnchorRecord* anchor = shownAnchor();
    if (!anchor || !context_.state.StartSet) return;
    QPainter painter(this);
    painter.translate(client.topLeft());
    painter.setPen(QPen(Qt::black, 1));
    auto line = [&](int32_t f) {
        const int x = FrameBarX(client.width(), f, frameSpan_);
        painter.drawLine(x, 0, x, client.height() - 1);
    };
    if (anchor->StartFrame != -1) line(anchor->StartFrame);
    if (context_.state.EndSet && anchor->EndFrame != -1) line(anchor->EndFrame);
}

void MarksBar::paintEvent(QPaintEvent*) {
    const anchors::AnchorRecord* anchor = shownAnchor();
    if (!anchor || !context_.state.AnchorActive || anchor->StartFrame == -1) return;
    QPainter painter(this);
    const int h = height() / 2;
    const int selected = context_.state.MarkSelected ? context_.state.SelectedMark : -1;
    for (std::size_t i = 0; i < anchor->Entries.size(); ++i) {
        const QColor color = int(i) == selected ? QColor(255, 0, 0) : QColor(Qt::black);
        painter.setPen(QPen(color, 1));
        painter.setBrush(color);
        const int x = MarkX(width(), anchor->Entries[i].Frame, frameSpan_);
        painter.drawPolygon(QPolygon({QPoint(x + 5, 0), QPoint(x, h), QPoint(x + 10, h)}));
    }
}

} // namespace qxm::editor

#include "DialogsTestSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace qxm::editor::testing {

int runModal(QDialog& dialog, const std::function<int()>& run, const std::function<void()>& steps,
             bool* leftOpen) {
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.isVisible()) << "the dialog is not showing";
        // Focus goes to a window only once the window system has activated it.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        steps();
        const bool open = dialog.isVisible();
        if (leftOpen) *leftOpen = open;
        if (open) dialog.done(QDialog::Rejected);
    });
    return run();
}

anchors::AnchorTable sampleTable(const std::vector<std::pair<std::string, std::string>>& nameIds) {
    std::vector<anchors::AnchorRecord> records;
    int32_t frame = 0;
    for (const auto& [name, id] : nameIds) {
        anchors::AnchorRecord r;
        r.Name = name;
        r.ID = id;
        for (int k = 0; k < 3; ++k, frame += 5)
            r.Entries.push_back({frame, 10 + k, 20 + k, 50 + k, 60 + k});
        r.StartFrame = r.Entries.front().Frame;
        r.EndFrame = r.Entries.back().Frame;
        records.push_back(std::move(r));
    }
    anchors::AnchorTable table;
    table.Assign(std::move(records));
    table.AnchorsCreated = static_cast<int>(nameIds.size());
    table.AnchorDataSaved = true;
    return table;
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickRow(QListWidget* list, int row) {
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void doubleClickRow(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    // As a mouse sends it: press and release, then the double click and its release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

std::vector<std::string> entries(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->text().toStdString());
    return out;
}

void expectTidyLayout(QWidget& dialog) {
    std::vector<std::pair<std::string, QRect>> placed;
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->property("controlId").isValid()) continue;
        const std::string name = w->objectName().toStdString();
        const QRect r = w->geometry();
        EXPECT_TRUE(dialog.rect().contains(r)) << name << " lies outside";
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) {
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name << " is cut";
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name << " is cut";
        }
        for (const auto& [other, rect] : placed)
            EXPECT_FALSE(rect.intersects(r)) << name << " overlaps " << other;
        placed.emplace_back(name, r);
    }
    EXPECT_GE(placed.size(), 3u);
}

bool savePicture(QWidget& widget, const char* name) {
    const QDir folder(QStringLiteral(QXM_DIALOG_PICTURES));
    if (!folder.mkpath(QStringLiteral("."))) return false;
    const QPixmap picture = widget.grab();
    return !picture.isNull() &&
           picture.save(folder.filePath(QString::fromLatin1(name) + ".png"), "PNG");
}

} // namespace qxm::editor::testing

#pragma once
// Shared pieces of the pages' tests (and of the module's tests that open the pages on the real
// control): the application, an object with the pages' properties that records every put (and
// can refuse ActivateMethod), a site recording status changes, fixtures activating a page, and
// lookups of controls by id.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/component/Dispatch.h"
#include "platform/hosting/PropertyPages.h"
#include "platform/prompter/Prompter.h"
#include "player_control/pages/QXMoviePropPages.h"

namespace qxm::qxmovie::testing {

// Puts are recorded as "Name=value", in order.
class FakeMovie : public DispatchObject<> {
public:
    FakeMovie();
    bool AutoRepeat = false, ChangeCursor = false, ShowAnchor = false, ShowControls = false;
    std::int32_t ActivateMethod = 0;
    std::string MovieFile, CursorFile;
    bool refuseActivateMethod = false;
    std::vector<std::string> puts;
};

class RecordingSite : public Object<IPropertyPageSite> {
public:
    HRESULT onStatusChange(std::uint32_t flags) override {
        statuses.push_back(flags);
        return S_OK;
    }
    std::vector<std::uint32_t> statuses;
};

// The widget below root whose "controlId" is id (null when none or several).
QWidget* controlById(QWidget* root, int id);
template <class W> W* control(QWidget* root, int id) {
    return qobject_cast<W*>(controlById(root, id));
}
// The title of the group box a widget sits in.
QString groupOf(QWidget* w);
// Saves a picture of a widget as a PNG.
bool savePicture(QWidget& widget, const QString& path);

class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Gives the page a recording site and the objects, activates it in the holder.
    void open(IPropertyPage& page, std::vector<IDispatch*> objects);
    // Lets the open page go.
    void close();
    void click(int id);

    ModuleLife life_;
    std::unique_ptr<QWidget> holder_;
    ComPtr<RecordingSite> site_ = makeObject<RecordingSite>();
    ComPtr<IPropertyPage> opened_;
};

// The General page.
class GeneralPageTest : public PageTest {
protected:
    // Checked states of 203, 207, 206, 208, 209, 210.
    std::vector<bool> states() {
        std::vector<bool> out;
        for (int id : {203, 207, 206, 208, 209, 210})
            out.push_back(control<QAbstractButton>(holder_.get(), id)->isChecked());
        return out;
    }
    ComPtr<CQXMoviePropPage> page_ = makeObject<CQXMoviePropPage>(life_);
};

// The movie file and cursor file pages, with a scripted prompter for their "..." buttons.
class FilePageTest : public PageTest {
protected:
    QLineEdit* edit(int id) { return control<QLineEdit>(holder_.get(), id); }
    ScriptedPrompter prompter_;
};

} // namespace qxm::qxmovie::testing

#pragma once
// The control's property pages:
//   CQXMoviePropPage   General (dialog 200): Auto Repeat, Change Cursor, Show Anchor, Control
//                      Panel and the Activate method
//   CQXMoviePropPage2  MovieFile (dialog 105): the movie file, typed or chosen in a file dialog
//   CQXMoviePropPage3  CursorFile (dialog 201): the cursor file, likewise
// Each is constructed with the module's life and counts toward it while it exists.
#include "platform/component/Guid.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/pages/QXMoviePropPageBase.h"

class QLineEdit;

namespace qxm::qxmovie {

class CQXMoviePropPage : public QXMoviePropPageBase {
public:
    static constexpr Guid clsid = kClsidGeneralPage;
    explicit CQXMoviePropPage(ModuleLife& life);

protected:
    void createControls(QWidget& page) override;
};

// A page for one file name: the label "FileName :", the edit box and the "..." button that
// offers the file dialog. A confirmed choice goes into the edit box as if typed; nothing is
// set on the objects before apply.
class QXMovieFilePage : public QXMoviePropPageBase {
public:
    struct FileControls {
        int editId;
        const char* editName;
        int browseId;
        const char* browseName;
        const char* property;
        strings::TableString dialogTitle;
        strings::TableString filter;
    };
    const FileControls& fileControls() const { return controls_; }

protected:
    QXMovieFilePage(ModuleLife& life, const PageTemplate& pageTemplate,
                    const FileControls& controls);
    void createControls(QWidget& page) override;

private:
    void browse();

    FileControls controls_;
    QPointer<QLineEdit> edit_; // a child of the page widget while active
};

class CQXMoviePropPage2 : public QXMovieFilePage {
public:
    static constexpr Guid clsid = kClsidMovieFilePage;
    explicit CQXMoviePropPage2(ModuleLife& life);
};

class CQXMoviePropPage3 : public QXMovieFilePage {
public:
    static constexpr Guid clsid = kClsidCursorFilePage;
    explicit CQXMoviePropPage3(ModuleLife& life);
};

} // namespace qxm::qxmovie

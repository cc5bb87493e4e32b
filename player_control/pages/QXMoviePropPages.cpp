#include "player_control/pages/QXMoviePropPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/prompter/Prompter.h"
#include "platform/ui/SystemText.h"
#include "player_control/pages/QXMoviePageTexts.h"

namespace qxm::qxmovie {

using namespace pagetexts;

namespace {

const PageTemplate kGeneralTemplate{IDD_PROPPAGE_QXMOVIE, strings::kGeneral, QSize(250, 100),
                                    "QXMoviePropPage",    kPageFontFamily,   kPageFontPointSize};
const PageTemplate kMovieFileTemplate{IDD_PROPPAGE_MOVIEFILE, strings::kMovieFileCaption,
                                      QSize(250, 110),        "QXMoviePropPage2",
                                      kPageFontFamily,        kPageFontPointSize};
const PageTemplate kCursorFileTemplate{IDD_PROPPAGE_CURSORFILE, strings::kCursorFileCaption,
                                       QSize(250, 110),         "QXMoviePropPage3",
                                       kPageFontFamily,         kPageFontPointSize};

const QXMovieFilePage::FileControls kMovieFileControls{
    IDC_MOVIEFILE, "movieFileEdit",           IDC_MOVIEFILE_BROWSE, "movieFileBrowse",
    "MovieFile",   strings::kMovieFileSelect, strings::kMovieFilter};
const QXMovieFilePage::FileControls kCursorFileControls{
    IDC_CURSORFILE, "cursorFileEdit",           IDC_CURSORFILE_BROWSE, "cursorFileBrowse",
    "CursorFile",   strings::kCursorFileSelect, strings::kCursorFilter};

// Space around and between the page's parts, in pixels.
constexpr int kMargin = 8;
constexpr int kSpacing = 6;

QGroupBox* groupBox(QWidget& page, const char* title, const char* name) {
    auto* box = new QGroupBox(QString::fromLatin1(title), &page);
    box->setProperty("controlId", IDC_STATIC);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

// ---- General ------------------------------------------------------------------------------

CQXMoviePropPage::CQXMoviePropPage(ModuleLife& life)
    : QXMoviePropPageBase(life, kGeneralTemplate) {}

void CQXMoviePropPage::createControls(QWidget& page) {
    auto check = [&](QGroupBox* group, int id, const char* text, const char* name) {
        auto* box = new QCheckBox(QString::fromLatin1(text), group);
        identify(box, id, name);
        group->layout()->addWidget(box);
        return box;
    };
    auto radio = [&](QGroupBox* group, int id, const char* text, const char* name) {
        auto* button = new QRadioButton(QString::fromLatin1(text), group);
        identify(button, id, name);
        group->layout()->addWidget(button);
        return button;
    };
    auto column = [](QGroupBox* group) {
        auto* layout = new QVBoxLayout(group);
        layout->setContentsMargins(kMargin, kSpacing / 2, kMargin, kSpacing / 2);
        layout->setSpacing(kSpacing / 2);
    };

    QGroupBox* playback = groupBox(page, kPlaybackGroup, "playbackGroup");
    QGroupBox* controls = groupBox(page, kControlsGroup, "controlsGroup");
    QGroupBox* activate = groupBox(page, kActivateGroup, "activateGroup");
    column(playback);
    column(controls);
    column(activate);

    // Exchange order: Auto Repeat, Change Cursor, Show Anchor, Control Panel, Activate.
    bindCheck(check(playback, IDC_AUTOREPEAT, kAutoRepeat, "autoRepeatCheck"), "AutoRepeat");
    bindCheck(check(controls, IDC_CHANGECURSOR, kChangeCursor, "changeCursorCheck"),
              "ChangeCursor");
    bindCheck(check(controls, IDC_SHOWANCHOR, kShowAnchor, "showAnchorCheck"), "ShowAnchor");
    bindCheck(check(controls, IDC_SHOWCONTROLS, kControlPanel, "controlPanelCheck"),
              "ShowControls");
    bindRadios({radio(activate, IDC_SINGLECLICK, kSingleClick, "singleClickRadio"),
                radio(activate, IDC_DOUBLECLICK, kDoubleClick, "doubleClickRadio")},
               "ActivateMethod");
    for (QGroupBox* group : {playback, controls, activate})
        static_cast<QVBoxLayout*>(group->layout())->addStretch();

    // Playback over Activate on the left, Controls on the right.
    auto* grid = new QGridLayout(&page);
    grid->setContentsMargins(kMargin, kSpacing, kMargin, kSpacing);
    grid->setHorizontalSpacing(kMargin);
    grid->setVerticalSpacing(kSpacing);
    grid->addWidget(playback, 0, 0);
    grid->addWidget(activate, 1, 0);
    grid->addWidget(controls, 0, 1, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1); // Activate takes the height Playback leaves
}

// ---- file pages ---------------------------------------------------------------------------

QXMovieFilePage::QXMovieFilePage(ModuleLife& life, const PageTemplate& pageTemplate,
                                 const FileControls& controls)
    : QXMoviePropPageBase(life, pageTemplate), controls_(controls) {}

void QXMovieFilePage::createControls(QWidget& page) {
    auto* label = new QLabel(QString::fromLatin1(kFileNameLabel), &page);
    label->setProperty("controlId", IDC_STATIC);
    label->setObjectName(QStringLiteral("fileNameLabel"));
    edit_ = new QLineEdit(&page);
    identify(edit_, controls_.editId, controls_.editName);
    label->setBuddy(edit_);
    auto* browse = new QPushButton(QString::fromLatin1(kBrowse), &page);
    identify(browse, controls_.browseId, controls_.browseName);
    browse->setAutoDefault(false);
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
                          3 * kSpacing);

    bindEdit(edit_, controls_.property);
    QObject::connect(browse, &QPushButton::clicked, browse, [this] { this->browse(); });

    auto* row = new QHBoxLayout;
    row->setSpacing(kSpacing);
    row->addWidget(label);
    row->addWidget(edit_, 1);
    row->addWidget(browse);
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(kMargin, 2 * kMargin, kMargin, kMargin);
    layout->addLayout(row);
    layout->addStretch();
}

void QXMovieFilePage::browse() {
    if (!edit_) return;
    FileRequest request;
    request.title = controls_.dialogTitle.text;
    request.filter = controls_.filter.text;
    request.filterIndex = 1;
    request.initialPath = ui::toSystem(edit_->text());
    request.mustExist = true;
    const std::optional<std::string> chosen = chooseOpenFile(request);
    if (chosen) enterText(edit_, ui::fromSystem(*chosen));
}

CQXMoviePropPage2::CQXMoviePropPage2(ModuleLife& life)
    : QXMovieFilePage(life, kMovieFileTemplate, kMovieFileControls) {}

CQXMoviePropPage3::CQXMoviePropPage3(ModuleLife& life)
    : QXMovieFilePage(life, kCursorFileTemplate, kCursorFileControls) {}

} // namespace qxm::qxmovie

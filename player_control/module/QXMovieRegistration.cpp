#include "player_control/module/QXMovieRegistration.h"

#include "platform/codepage/CodePage.h"
#include "player_control/definitions/QXMovieIds.h"
#include "player_control/definitions/QXMovieStrings.h"
#include "player_control/control/QXMovieTypeLib.h"

namespace qxm::qxmovie {
namespace {

ClassEntry pageClass(const Guid& clsid, const strings::TableString& typeName, const char* progId) {
    ClassEntry e;
    e.clsid = clsid;
    e.name = typeName.text;
    e.progId = progId;
    return e;
}

CategoryInfo category(const Guid& catid, std::string_view description) {
    return {catid, kCategoryLocale,
            std::string(codepage::cut(description, kCategoryDescriptionMax))};
}

} // namespace

ModuleRegistration describeModule(const std::string& modulePath) {
    ModuleRegistration m;
    m.modulePath = modulePath;
    m.typeLibrary = &qxmovieTypeLibrary();

    ClassEntry control;
    control.clsid = kClsidQXMovie;
    control.name = strings::kTypeName.text;
    control.progId = kProgIdControl;
    control.threadingModel = "Apartment";
    control.control = true;
    control.insertable = false;
    control.toolboxBitmap = kToolboxBitmap;
    control.miscStatus = kControlMiscStatus;
    control.typeLib = kLibidQXMOVIELib;
    control.typeLibVersion =
        std::to_string(kLibMajorVersion) + "." + std::to_string(kLibMinorVersion);

    m.classes = {
        control, pageClass(kClsidGeneralPage, strings::kPropPageName, kProgIdGeneralPage),
        pageClass(kClsidMovieFilePage, strings::kMovieFilePageName, kProgIdMovieFilePage),
        pageClass(kClsidCursorFilePage, strings::kCursorFilePageName, kProgIdCursorFilePage)};
    m.categories = {{kClsidQXMovie,
                     {category(CATID_SafeForScripting, kSafeForScriptingText),
                      category(CATID_SafeForInitializing, kSafeForInitializingText)}}};
    return m;
}

} // namespace qxm::qxmovie

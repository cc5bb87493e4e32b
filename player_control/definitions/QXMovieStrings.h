#pragma once
// The string table of the QXMOVIE module: every text the control shows or reports, with its
// number. Error descriptions carry their number as help context.
#include <cstdint>
#include <string_view>

namespace qxm::qxmovie::strings {

struct TableString {
    std::uint32_t id;
    const char* text;
};

inline constexpr TableString kTypeName{1, "QX-MOVIE ActiveX Control"};
inline constexpr TableString kPropPageName{2, "QX-MOVIE ActiveX Control Property Page"};
inline constexpr TableString kGeneral{200, "General"};
inline constexpr TableString kOriginalSize{201, "0 - OriginalSize"};
inline constexpr TableString kDoubleOriginalSize{202, "1 - DoubleOriginalSize"};
inline constexpr TableString kOneSixteenScreen{203, "2 - OneSixteenScreen"};
inline constexpr TableString kOneFourThScreen{204, "3 - OneFourThScreen"};
inline constexpr TableString kOneHalfScreen{205, "4 - OneHalfScreen"};
inline constexpr TableString kSingleClick{206, "0 - SingleClick"};
inline constexpr TableString kDoubleClick{207, "1 - DoubleClick"};
inline constexpr TableString kActiveMovieInterface{208, "0 - ActiveMovieInterface"};
inline constexpr TableString kMCIInterface{209, "1 - MCIInterface"};
inline constexpr TableString kNormalSpeed{210, "0 - NormalSpeed"};
inline constexpr TableString kDoubleSpeed{211, "1 - DoubleSpeed"};
inline constexpr TableString kOnehalfSpeed{212, "2 - OnehalfSpeed"};
inline constexpr TableString kInvalidPropertyValue{213, "Invalid Property Value"};
inline constexpr TableString kInvalidPropertyArrayIndex{214, "Invalid Property Array Index"};
inline constexpr TableString kAnchorDataReadError{215, "Anchor Data Read Error"};
inline constexpr TableString kMovieFilePageName{
    216, "QX-MOVIE ActiveX Control Property Page Movie File Select"};
inline constexpr TableString kMovieFileCaption{217, "MovieFile"};
inline constexpr TableString kCursorFilePageName{
    218, "QX-MOVIE ActiveX Control Property Page Cursor File Select"};
inline constexpr TableString kCursorFileCaption{219, "CursorFile"};
inline constexpr TableString kNoMemory{220, "No Memory Available"};
inline constexpr TableString kMovieFilter{221,
                                          "Movie files(*.avi *.mpg *.mov)|*.avi;*.mpg;*.mov||"};
inline constexpr TableString kMovieFileSelect{222, "Movie File Select"};
inline constexpr TableString kCursorFilter{223, "Cursor files(*.cur *.ani)|*.cur;*.ani||"};
inline constexpr TableString kCursorFileSelect{224, "Cursor File Select"};

// Every entry of the table, in number order.
inline constexpr TableString kTable[] = {kTypeName,
                                         kPropPageName,
                                         kGeneral,
                                         kOriginalSize,
                                         kDoubleOriginalSize,
                                         kOneSixteenScreen,
                                         kOneFourThScreen,
                                         kOneHalfScreen,
                                         kSingleClick,
                                         kDoubleClick,
                                         kActiveMovieInterface,
                                         kMCIInterface,
                                         kNormalSpeed,
                                         kDoubleSpeed,
                                         kOnehalfSpeed,
                                         kInvalidPropertyValue,
                                         kInvalidPropertyArrayIndex,
                                         kAnchorDataReadError,
                                         kMovieFilePageName,
                                         kMovieFileCaption,
                                         kCursorFilePageName,
                                         kCursorFileCaption,
                                         kNoMemory,
                                         kMovieFilter,
                                         kMovieFileSelect,
                                         kCursorFilter,
                                         kCursorFileSelect};

// The text of a string number; empty for a number not in the table.
constexpr std::string_view loadString(std::uint32_t id) {
    for (const TableString& s : kTable)
        if (s.id == id) return s.text;
    return {};
}

// The type library's texts.
inline constexpr const char* kLibHelpString = "QX-MOVIE ActiveX";
inline constexpr const char* kLibHelpFile = "QXMovie.hlp";
inline constexpr const char* kDispatchHelpString = "Dispatch interface for QXMovie Control";
inline constexpr const char* kEventsHelpString = "Event interface for QXMovie Control";
inline constexpr const char* kCoClassHelpString = "QXMovie Control";
inline constexpr const char* kErrorSource = "QXMovie";

// The context menu (menu resource 202, first popup).
inline constexpr const char* kMenuPlay = "P&lay";
inline constexpr const char* kMenuPause = "&Pause";
inline constexpr const char* kMenuStop = "&Stop";
inline constexpr const char* kMenuControls = "&Controls";
inline constexpr const char* kMenuAnchor = "A&nchor";
inline constexpr const char* kMenuCursor = "C&ursor";
inline constexpr const char* kMenuProperties = "Prop&erties";
inline constexpr const char* kMenuAbout = "&About QX-MOVIE Control...";

} // namespace qxm::qxmovie::strings

#pragma once
// The two-anchor example file and the records it holds, shared by the reader and writer tests.
#include "editor/anchors/AnchorFile.h"

#include <string>
#include <vector>

namespace qxm::anchors::testdata {

inline FrameEntry E(int32_t f, int32_t l, int32_t t, int32_t r, int32_t b) {
    return {f, l, t, r, b};
}

inline const std::string kExampleFile = "MaxObject=2\r\n"
                                        "\r\n"
                                        "[CAR1:RedCar:0-120:3]\r\n"
                                        "0:10,20,50,60;\r\n"
                                        "60:30,20,70,60;\r\n"
                                        "120:50,20,90,60;\r\n"
                                        "\r\n"
                                        "[BALL:Ball:10-20:2]\r\n"
                                        "10:1,1,5,5;\r\n"
                                        "20:2,2,6,6;\r\n";

inline std::vector<AnchorRecord> exampleAnchors() {
    return {MakeAnchorRecord("CAR1", "RedCar",
                             {E(0, 10, 20, 50, 60), E(60, 30, 20, 70, 60), E(120, 50, 20, 90, 60)}),
            MakeAnchorRecord("BALL", "Ball", {E(10, 1, 1, 5, 5), E(20, 2, 2, 6, 6)})};
}

} // namespace qxm::anchors::testdata

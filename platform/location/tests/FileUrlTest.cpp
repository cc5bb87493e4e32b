#include "platform/location/FileUrl.h"

#include <gtest/gtest.h>

using namespace qxm;

TEST(FileUrl, LocalPathsFromFileUrls) {
    EXPECT_EQ(fileUrlToPath("file:///tmp/a%20b.obj").value_or("?"), "/tmp/a b.obj");
    EXPECT_EQ(fileUrlToPath("FILE://localhost/x/y.obj").value_or("?"), "/x/y.obj");
    EXPECT_EQ(fileUrlToPath("file://LocalHost/x").value_or("?"), "/x");
    EXPECT_EQ(fileUrlToPath("file:/x/y").value_or("?"), "/x/y");
    EXPECT_EQ(fileUrlToPath("file:///x%2Fy%e6%98%a0").value_or("?"), "/x/y\xE6\x98\xA0");
    EXPECT_EQ(fileUrlToPath("file:///a%zz%4").value_or("?"), "/a%zz%4");
    EXPECT_EQ(fileUrlToPath("file:///a.obj?v=2#top").value_or("?"), "/a.obj");
    EXPECT_EQ(fileUrlToPath("file:///a%23b.obj").value_or("?"), "/a#b.obj");
    EXPECT_FALSE(fileUrlToPath("file://server/share/a.obj"));
    EXPECT_FALSE(fileUrlToPath("file://localhostx/a.obj"));
    EXPECT_FALSE(fileUrlToPath("file:///a%00b"));
    EXPECT_FALSE(fileUrlToPath("file://"));
    EXPECT_FALSE(fileUrlToPath("http://host/a.obj"));
    EXPECT_TRUE(isFileUrl("File:x"));
    EXPECT_FALSE(isFileUrl("/file:x"));
}

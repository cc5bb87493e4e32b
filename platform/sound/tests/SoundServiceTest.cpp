#include "platform/sound/SoundService.h"

#include <gtest/gtest.h>

using qxm::sound::SoundRequest;

TEST(SoundService, RecordsRequestsInOrderAndForgetsThemOnClear) {
    qxm::sound::clearRequests();
    EXPECT_TRUE(qxm::sound::playSound("/tmp/click.wav", true, true));
    EXPECT_TRUE(qxm::sound::playSound("", false, false));
    const auto got = qxm::sound::requests();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], (SoundRequest{"/tmp/click.wav", true, true}));
    EXPECT_EQ(got[1], (SoundRequest{"", false, false}));
    qxm::sound::clearRequests();
    EXPECT_TRUE(qxm::sound::requests().empty());
}

TEST(SoundService, HandlerDecidesTheResultAfterTheRequestIsRecorded) {
    qxm::sound::clearRequests();
    std::vector<std::string> seen;
    auto previous = qxm::sound::setSoundHandler([&](const SoundRequest& r) {
        seen.push_back(r.file);
        return false;
    });
    EXPECT_FALSE(qxm::sound::playSound("missing.wav", true, true));
    EXPECT_EQ(seen, std::vector<std::string>{"missing.wav"});
    EXPECT_EQ(qxm::sound::requests().size(), 1u);
    qxm::sound::setSoundHandler(previous);
    EXPECT_TRUE(qxm::sound::playSound("again.wav", true, true));
    EXPECT_EQ(seen.size(), 1u);
}

TEST(SoundService, PlayerPlaysRecordedRequestsUnlessAHandlerIsSet) {
    qxm::sound::clearRequests();
    std::vector<std::string> played;
    auto previousPlayer = qxm::sound::setSoundPlayer([&](const SoundRequest& r) {
        played.push_back(r.file);
        return !r.file.empty() && r.file != "missing.wav";
    });
    EXPECT_TRUE(qxm::sound::playSound("click.wav", true, true));
    EXPECT_FALSE(qxm::sound::playSound("missing.wav", true, true));
    auto previousHandler = qxm::sound::setSoundHandler([](const SoundRequest&) { return true; });
    EXPECT_TRUE(qxm::sound::playSound("missing.wav", true, true)); // the handler decides
    qxm::sound::setSoundHandler(previousHandler);
    qxm::sound::setSoundPlayer(previousPlayer);
    EXPECT_EQ(played, (std::vector<std::string>{"click.wav", "missing.wav"}));
    EXPECT_EQ(qxm::sound::requests().size(), 3u);
    qxm::sound::clearRequests();
}

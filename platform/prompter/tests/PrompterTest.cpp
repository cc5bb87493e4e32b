#include "platform/prompter/Prompter.h"

#include <gtest/gtest.h>

using namespace qxm;

TEST(Prompter, DefaultHandlerAnswersTheFirstButton) {
    EXPECT_EQ(prompt("a", "c", Buttons::Ok), Answer::Ok);
    EXPECT_EQ(prompt("a", "c", Buttons::YesNoCancel), Answer::Yes);
    EXPECT_EQ(prompt("a", "c", Buttons::RetryCancel), Answer::Retry);
}

TEST(Prompter, ScriptedHandlerRecordsAndAnswersInOrderThenRestores) {
    {
        ScriptedPrompter s;
        s.queue(Answer::No);
        s.queue(Answer::Cancel);
        EXPECT_EQ(prompt("first", "T", Buttons::YesNo, Icon::Question), Answer::No);
        EXPECT_EQ(prompt("second", "T", Buttons::YesNoCancel), Answer::Cancel);
        EXPECT_EQ(prompt("third", "T", Buttons::YesNoCancel), Answer::Yes); // queue empty
        ASSERT_EQ(s.prompts.size(), 3u);
        EXPECT_EQ(s.texts(), (std::vector<std::string>{"first", "second", "third"}));
        EXPECT_EQ(s.prompts[0].icon, Icon::Question);
        EXPECT_EQ(s.prompts[0].caption, "T");
        {
            ScriptedPrompter inner;
            prompt("nested");
            EXPECT_EQ(inner.prompts.size(), 1u);
        }
        prompt("back to outer");
        EXPECT_EQ(s.prompts.size(), 4u);
    }
    EXPECT_EQ(setPromptHandler(nullptr), nullptr);
}

TEST(Prompter, DefaultHandlerCancelsFileRequests) {
    EXPECT_EQ(chooseOpenFile(FileRequest{"Open", "All|*||"}), std::nullopt);
}

TEST(Prompter, ScriptedFileAnswersInOrderThenCancelled) {
    ScriptedPrompter s;
    s.queueFile("/tmp/a.avi");
    s.queueFile(std::nullopt);
    FileRequest r{"Movie File Select", "Movie|*.avi||", 2, "/tmp/start.avi", false};
    EXPECT_EQ(chooseOpenFile(r), std::optional<std::string>("/tmp/a.avi"));
    EXPECT_EQ(chooseOpenFile(r), std::nullopt);
    EXPECT_EQ(chooseOpenFile(r), std::nullopt); // queue empty: cancelled
    ASSERT_EQ(s.fileRequests.size(), 3u);
    EXPECT_EQ(s.fileRequests[0].title, "Movie File Select");
    EXPECT_EQ(s.fileRequests[0].filter, "Movie|*.avi||");
    EXPECT_EQ(s.fileRequests[0].filterIndex, 2);
    EXPECT_EQ(s.fileRequests[0].initialPath, "/tmp/start.avi");
    EXPECT_FALSE(s.fileRequests[0].mustExist);
    // File answers and message answers are separate queues.
    s.queue(Answer::Cancel);
    s.queueFile("/x");
    EXPECT_EQ(prompt("q", "c", Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(chooseOpenFile(r), std::optional<std::string>("/x"));
}

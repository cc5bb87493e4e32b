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

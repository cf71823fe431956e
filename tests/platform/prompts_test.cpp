#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "platform/prompts.h"
#include "support/fake_prompts.h"

namespace {

TEST(OverwriteQuestion, NamesThePathAsGiven) {
    EXPECT_EQ(vel::OverwriteQuestion("/home/u/Velmaris/Data/走行.dtb"),
              QString("/home/u/Velmaris/Data/走行.dtb は既に存在します。\r上書きしますか?"));
}

TEST(WithDefaultSuffix, AddsTheSuffixOnlyWhenMissing) {
    const struct {
        const char* name;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"/d/lap", "dtb", "/d/lap.dtb"},
        {"/d/lap.dtb", "dtb", "/d/lap.dtb"},
        {"/d/lap.DTB", "dtb", "/d/lap.DTB"},
        {"/d/lap.txt", "dtb", "/d/lap.txt.dtb"},
        {"/d/lap.dtbx", "dtb", "/d/lap.dtbx.dtb"},
        {"/d/lapdtb", "dtb", "/d/lapdtb.dtb"},
        {"/d/lap.", "dtb", "/d/lap.dtb"},
        {"/d.dtb/lap", "dtb", "/d.dtb/lap.dtb"},
        {"/d/lap", ".dtb", "/d/lap.dtb"},
        {"/d/lap", "", "/d/lap"},
        {"", "dtb", ""},
        {"/d/", "dtb", "/d/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " + " + c.suffix);
        EXPECT_EQ(vel::WithDefaultSuffix(c.name, c.suffix), QString(c.expected));
    }
}

// The save recipe: the extension forced exactly, the overwrite question only
// for an existing file, and what the steps see whatever the answer.
TEST(AskSaveTarget, ForcesTheExtensionAndAsksBeforeOverwriting) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    QFile existing(d + "old.dtb");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const struct {
        const char* name;
        QString chosen;
        std::deque<vel::Answer> answers;
        QString target;     // returned
        QString seen;       // given to the chosen step
        int questions;
    } cases[] = {
        {"cancelled", "", {}, "", "", 0},
        {"new name with the extension", d + "a.dtb", {}, d + "a.dtb", d + "a.dtb", 0},
        {"no extension", d + "a", {}, d + "a.dtb", d + "a.dtb", 0},
        {"other case", d + "a.DTB", {}, d + "a.dtb", d + "a.dtb", 0},
        {"other extension", d + "a.b.txt", {}, d + "a.b.dtb", d + "a.b.dtb", 0},
        {"existing, overwrite", d + "old", {vel::Answer::Yes}, d + "old.dtb", d + "old.dtb", 1},
        {"existing, declined", d + "old.dtb", {vel::Answer::No}, "", d + "old.dtb", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vel::test::FakePrompts prompts;
        prompts.saveResults = {c.chosen};
        prompts.answers = c.answers;
        bool open = false, flagDownWhenClosed = false;
        int closed = 0;
        QString seen;
        vel::SaveTargetSteps steps;
        steps.dialogOpen = &open;
        steps.dialogClosed = [&] {
            ++closed;
            flagDownWhenClosed = prompts.count("save") == 1 && !open;
        };
        steps.chosen = [&](const QString& target) { seen = target; };
        vel::FileDialogSpec dlg;
        dlg.title = "保存";
        EXPECT_EQ(vel::AskSaveTarget(prompts, dlg, ".dtb", steps), c.target);
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(closed, 1);
        EXPECT_TRUE(flagDownWhenClosed);
        EXPECT_FALSE(open);
        EXPECT_EQ(prompts.count("warnyesno"), c.questions);
        if (c.questions) {
            EXPECT_EQ(prompts.texts("warnyesno")[0], vel::OverwriteQuestion("old.dtb"));
        }
    }
}

TEST(FakePrompts, AnswersFromTheQueuesAndCountsUnscriptedCalls) {
    vel::test::FakePrompts p;
    p.answers = {vel::Answer::Yes, vel::Answer::Ok};
    p.openResults = {{"/a.dtb", "/b.dtb"}};
    p.saveResults = {"/c.dtb"};

    p.Inform("i");
    EXPECT_EQ(p.AskYesNo("q1"), vel::Answer::Yes);
    EXPECT_EQ(p.AskOkCancel("q2"), vel::Answer::Ok);
    vel::FileDialogSpec dlg;
    dlg.title = "開く";
    EXPECT_EQ(p.OpenFiles(dlg), QStringList({"/a.dtb", "/b.dtb"}));
    dlg.title = "保存";
    dlg.defaultSuffix = "dtb";
    EXPECT_EQ(p.SaveFile(dlg), "/c.dtb");
    EXPECT_EQ(p.unscripted, 0);
    EXPECT_EQ(p.lastSpec.defaultSuffix, "dtb");

    EXPECT_EQ(p.AskYesNo("q3"), vel::Answer::No);
    EXPECT_EQ(p.AskOkCancel("q4"), vel::Answer::Cancel);
    EXPECT_TRUE(p.OpenFiles(dlg).isEmpty());
    EXPECT_TRUE(p.SaveFile(dlg).isEmpty());
    p.Warn("w");
    p.Error("e");
    EXPECT_EQ(p.unscripted, 4);

    EXPECT_EQ(p.texts("yesno"), QStringList({"q1", "q3"}));
    EXPECT_EQ(p.texts("open"), QStringList({"開く", "保存"}));
    EXPECT_EQ(p.count("save"), 2);
    EXPECT_EQ(p.texts("warn"), QStringList({"w"}));
    EXPECT_EQ(p.calls.size(), 11u);
    EXPECT_EQ(p.calls.front().kind, "inform");
    EXPECT_EQ(p.calls.back().kind, "error");

    // The question and warning kinds are told apart.
    p.answers = {vel::Answer::Yes, vel::Answer::Yes};
    EXPECT_EQ(p.AskYesCancel("q5"), vel::Answer::Yes);
    EXPECT_EQ(p.WarnYesNo("q6"), vel::Answer::Yes);
    EXPECT_EQ(p.AskYesCancel("q7"), vel::Answer::Cancel);
    EXPECT_EQ(p.WarnYesNo("q8"), vel::Answer::No);
    EXPECT_EQ(p.texts("yescancel"), QStringList({"q5", "q7"}));
    EXPECT_EQ(p.texts("warnyesno"), QStringList({"q6", "q8"}));
    EXPECT_EQ(p.texts("yesno"), QStringList({"q1", "q3"}));
}

} // namespace
